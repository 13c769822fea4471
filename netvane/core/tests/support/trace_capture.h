// Turns the diagnostic trace on for the lifetime of the object and collects its lines in a
// file of the test's own, so a test can tell that a failure was traced.
#pragma once
#include <string>

namespace cfgtest {

class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  // Everything traced since construction.
  std::string Text() const;

 private:
  std::string path_;
};

}  // namespace cfgtest
