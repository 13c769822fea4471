// A private X server for one test program; DISPLAY points at it while it lives.
#pragma once
#include <string>

#include "platform/testing/child_process.h"

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
  nv::testing::ChildProcess server_;
  std::string error_;
};

}  // namespace nv::idletest
