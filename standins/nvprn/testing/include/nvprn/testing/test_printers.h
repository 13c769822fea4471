// For Windows tests that need real printers in the spooler (Wine's here): a printer driver
// registered once and printers on port "FILE:" that are deleted again.
#pragma once
#include <string>

#include "platform/windows_api.h"

namespace nvprn::testing {

// Registers "Generic / Text Only" over the PostScript driver with a minimal description;
// true when it is there afterwards.
bool RegisterTestDriver();

class TestPrinter {
 public:
  explicit TestPrinter(const std::string& name);
  ~TestPrinter();
  TestPrinter(const TestPrinter&) = delete;
  TestPrinter& operator=(const TestPrinter&) = delete;
  bool added() const { return m_handle != nullptr; }
  unsigned long error() const { return m_error; }

 private:
  HANDLE m_handle = nullptr;
  unsigned long m_error = 0;
};

}  // namespace nvprn::testing
