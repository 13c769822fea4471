// A private X server for one test program; DISPLAY points at it while it lives.
#pragma once
#include <sys/types.h>

#include <string>

namespace nv::idletest {

class XvfbServer {
 public:
  XvfbServer();
  ~XvfbServer() { Stop(); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;
  // Empty when the server runs, else why it does not.
  const std::string& error() const { return error_; }
  void Stop();

 private:
  pid_t pid_ = 0;
  std::string error_;
};

}  // namespace nv::idletest
