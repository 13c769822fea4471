// LDNvChng: what a command line asks for, and what the answers of the running tray program mean
// for the person or script that asked (message and exit code).  The Win32 side only carries the
// messages (TrayChannel); every decision is here.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ldnvchng {

enum ExitCode : int {
  kDone = 0,
  kBadArgument = 1,
  kNoTrayProgram = 2,
  kChangeRefused = 3,
  kNoAnswer = 4,
};

enum class Action {
  kChange,    // no argument: the tray program's own change (or start it when none runs)
  kChangeTo,  // "A" or "B"
  kStatus,
  kHelp,
};

struct Request {
  Action action = Action::kChange;
  int network = 0;  // 0 = A, 1 = B; for kChangeTo
};

struct ParseResult {
  bool ok = false;
  Request request;
  std::string error;  // when not ok
};

// `arguments` without the program name.
ParseResult ParseArguments(const std::vector<std::string>& arguments);

std::string UsageText();

// How the tray program answered a copy-data request: it takes none while a change runs.
enum class Answer {
  kTaken,
  kBusy,      // refused: a change runs; asking again later may succeed
  kNoAnswer,  // not answered in time, or it no longer runs
};

// How long a busy tray program is asked again, and how often.
inline constexpr unsigned kBusyLimitMs = 180000;
inline constexpr unsigned kBusyRetryMs = 500;

// The tray program as this helper reaches it.
class TrayChannel {
 public:
  virtual ~TrayChannel() = default;
  virtual bool Running() = 0;
  // The product key's UseDll: the tray program honours copy-data requests only when it is set.
  virtual bool AcceptsRequests() = 0;
  // Copy-data with `command` in the data word and no payload.
  virtual Answer SendCommand(uint32_t command) = 0;
  // WM_USER+100: the tray program's own change; false when not answered in time.
  virtual bool SendChange() = 0;
  // Status "dwNet" as the tray program last wrote it (1 = A, 2 = B), if any.
  virtual std::optional<uint32_t> StoredStatus() = 0;
  // The display name of network 0 or 1 ("szNet0"/"szNet1"); empty when none is stored.
  virtual std::string NetworkName(int network) = 0;
  // Starts the installed tray program; empty when it started, else why not.
  virtual std::string StartTray() = 0;
  // Waits before a busy tray program is asked again.
  virtual void Wait(unsigned ms) = 0;
};

struct Outcome {
  int exitCode = kDone;
  std::string message;
};

// A busy tray program is asked again every kBusyRetryMs until `busyLimitMs` have passed; then the
// request ends with kChangeRefused and a message that says it was busy.
Outcome RunRequest(const Request& request, TrayChannel& tray, unsigned busyLimitMs = kBusyLimitMs);

// Status "dwNet" to a network (1 -> 0, 2 -> 1); nothing for any other value.
std::optional<int> NetworkFromStatus(uint32_t dwNet);

}  // namespace ldnvchng
