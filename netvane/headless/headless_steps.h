// The steps of a change that the tray program carries out through Windows (printers, drive
// letters, folder guard, desktop display, tray) as the headless runner has them: the display
// and tray print to the console, the rest say once that they are not available here, and the
// after-change step still writes the log line every change writes.
#pragma once
#include <cstdio>
#include <functional>
#include <set>
#include <string>

#include "netvane/change_steps.h"

namespace nv::headless {

class ConsoleReport {
 public:
  explicit ConsoleReport(std::FILE* out, bool quiet) : out_(out), quiet_(quiet) {}
  void Line(const std::string& text) const;
  void NotAvailable(const char* step);

 private:
  std::FILE* out_;
  bool quiet_;
  std::set<std::string> said_;  // steps already reported
};

class ConsoleDisplay : public nv::core::IChangeDisplay {
 public:
  ConsoleDisplay(ConsoleReport& report, std::string nameA, std::string nameB)
      : report_(report), names_{std::move(nameA), std::move(nameB)} {}
  void SetNetwork(int network) override;
  void SelectNetwork(int network) override { shown_ = network; }
  void Progress(int position, const std::string& text) override;
  void SetProgress(int position, const std::string& text) override;
  void CloseProgress() override;
  std::string Finish() override;

 private:
  ConsoleReport& report_;
  std::string names_[2];
  int shown_ = 0;
};

class UnavailablePrinters : public nv::core::IPrinterStep {
 public:
  explicit UnavailablePrinters(ConsoleReport& report) : report_(report) {}
  int PrinterStep(const std::string& productKeyPath, int network, int sessionEnding, int phase) override;

 private:
  ConsoleReport& report_;
};

// Drive letters, logon and the folder guard are Windows-only; the log line is not.
class HeadlessAfterChange : public nv::core::IDriveStep {
 public:
  using LogLine = std::function<void(const std::string&)>;
  HeadlessAfterChange(ConsoleReport& report, LogLine log) : report_(report), log_(std::move(log)) {}
  void BeforeSwitch(int network) override;
  void AfterSwitch(int network) override;

 private:
  ConsoleReport& report_;
  LogLine log_;
};

class ConsoleTray : public nv::core::ITrayView {
 public:
  explicit ConsoleTray(ConsoleReport& report) : report_(report) {}
  void ShowNetwork(int network, const std::string& tip) override;

 private:
  ConsoleReport& report_;
};

}  // namespace nv::headless
