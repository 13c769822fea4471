// The finisher's work after its first timer tick: read the hand-over list in the installation
// folder, copy each staged file over its target (stopping and starting a service around it when
// the flags say so), delete the list, and restart the computer or the program as the flags ask.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "updater/file_system.h"
#include "updater/path_rules.h"

namespace nv::updater {

inline constexpr size_t kInstallBlock = 61440;
// How long continue waits for a target that another program holds, polling every kFreePollMs.
inline constexpr unsigned kFreeWaitMs = 30000;
inline constexpr unsigned kFreePollMs = 500;

// Maker key, product key (also the product name shown), program to restart: exactly three.
struct FinisherArguments {
  std::string makerKey;
  std::string productName;
  std::string programPath;
};
std::optional<FinisherArguments> ParseFinisherArguments(const std::vector<std::string>& args);

class IServiceControl {
 public:
  virtual ~IServiceControl() = default;
  // Each shows its own failure message; true on success.
  virtual bool Stop(const std::string& name) = 0;
  virtual bool Start(const std::string& name) = 0;
};

class IFinisherHost {
 public:
  virtual ~IFinisherHost() = default;
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void SetProgressRange(int count) = 0;
  virtual void StepProgress() = 0;
  virtual void Wait(unsigned milliseconds) = 0;
  // "Restart Window" in a system-modal yes/no box captioned with the product name.
  virtual bool AskRestartWindows(const std::string& productName) = 0;
  virtual void RestartComputer() = 0;
  // Opens the program and waits until it is idle for input; false when it did not start.
  virtual bool RestartProgram(const std::string& path) = 0;
  // A process of that program's file name shows a window (it runs already).
  virtual bool ProgramRuns(const std::string& path) = 0;
  // A copy that failed: the old file stays in place and the user is told.
  virtual void ReportCopyFailure(const std::string& fileName, const std::string& error) = 0;
  // A file still in use when the computer is to restart: replaced when it next starts.
  virtual void ReportReplacedAtRestart(const std::string& fileName) = 0;
};

struct FinisherContext {
  std::string installedPath;
  std::string productName;
  std::string programPath;
  bool ntFamily = true;
  PathStyle style = PathStyle::kWindows;
};

struct FinisherReport {
  bool badInstalledPath = false;  // empty or relative: nothing was read or written
  bool listFound = false;
  std::vector<std::string> installed;  // file names copied
  std::vector<std::string> failed;     // file names whose copy failed or whose bytes changed
  std::vector<std::string> scheduled;  // in use, SHUTDOWN asked: replaced when the computer starts
  std::vector<std::string> refused;    // list lines refused by the path rules
  bool restartedProgram = false;
  bool programRanAlready = false;  // RESTART asked while the program runs: not started twice
  bool restartedComputer = false;
};

FinisherReport RunFinisher(const FinisherContext& context, IFileSystem& fs, IServiceControl& services,
                           IFinisherHost& host);

}  // namespace nv::updater
