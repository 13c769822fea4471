// The audit trail: one record per change, saying when it ran, which trigger asked for it,
// from which network to which, every step with its result and duration, the isolation check
// and the outcome, so that an administrator can tell afterwards what happened and where a
// change stopped.  The change runs unchanged; its steps are timed by wrapping them.
#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "netvane/change_sequence.h"
#include "netvane/isolation_check.h"

class CCfginfo;

namespace nv::core {

// Who asked for a change.
enum class ChangeTrigger {
  TrayCommand,   // the tray menu's change command
  Schedule,      // the schedule timer
  IdleReturn,    // back to A after the idle time
  SecondStart,   // the program was started again
  CopyData,      // a copy-data request of another program
  ChangeHelper,  // WM_USER+100 from the change helper; nvchange on Linux
  EndOfSession,  // Windows ends the session while on network B
  StartUp,       // every start begins on network A
  Exit,          // the tray menu's exit leaves the machine on network A
  Repeat,        // the debug repeat timer
};
const char* TriggerName(ChangeTrigger trigger) noexcept;

struct AuditStep {
  std::string name;  // "printers", "drives before", "switch box", "route removal", ...
  int network = 0;   // 0 = A, 1 = B
  long long result = 0;
  double ms = 0;
};

struct AuditRecord {
  std::string time;  // UTC, "2026-12-08T22:51:47.123Z"
  ChangeTrigger trigger = ChangeTrigger::TrayCommand;
  int from = 0, to = 0;
  std::string fromName, toName;
  std::vector<AuditStep> steps;
  IsolationResult isolation;
  // "changed", "changed, not isolated", "refused by the printer helper", ...; "started" for the
  // record written ahead of a change, "interrupted" for one whose run ended before it finished.
  std::string outcome;
  double ms = 0;
};

// What the outcome says after the adapter was cleared to fail closed: "; address released,
// adapter cleared", "; the adapter could not be cleared", empty when it was not tried.
const char* AdapterClearOutcome(AdapterClear clear) noexcept;

// One JSON object on one line, without the line break.
std::string AuditJson(const AuditRecord& record);
// The same fields as readable lines, for an event log entry.
std::string AuditText(const AuditRecord& record);

class IAuditSink {
 public:
  virtual ~IAuditSink() = default;
  // Writes one record; false when it could not be written.
  virtual bool Write(const AuditRecord& record) = 0;
  // Ahead of a change's first step: its "started" record, on disk before anything changes.
  virtual bool Begin(const AuditRecord& started) { return Write(started); }
  // A change whose run ended between its started record and its completion: reported once (its
  // "interrupted" record is written), nothing when there is none.
  virtual std::optional<AuditRecord> TakeInterrupted() { return std::nullopt; }
  // Whether this sink already holds the end of the change `started` began (a record with its
  // start time and any outcome but "started"); false when it holds none or cannot tell.
  virtual bool HoldsEndOf(const AuditRecord& started) {
    (void)started;
    return false;
  }
};

// Appends JSON lines to a file ("<folder>/audit.jsonl"), creating the folder (one level).
class JsonLinesAuditSink : public IAuditSink {
 public:
  explicit JsonLinesAuditSink(std::string folder);
  bool Write(const AuditRecord& record) override;
  bool HoldsEndOf(const AuditRecord& started) override;
  const std::string& path() const noexcept { return path_; }

 private:
  std::string folder_;
  std::string path_;
};

// The Windows Application event log as the audit needs it.
class IEventLog {
 public:
  enum class Kind { Information, Warning, Error };
  virtual ~IEventLog() = default;
  // The source's key exists below the Application log (the launcher service registers it).
  virtual bool SourceRegistered(const std::string& source) = 0;
  // One event with `text` as its only insertion string; false when it was not accepted.
  virtual bool Report(const std::string& source, Kind kind, unsigned eventId, const std::string& text) = 0;
};
// The system's event log; null where there is none (Linux).
std::unique_ptr<IEventLog> MakeSystemEventLog();

// Writes events under `source`; a missing source or a refused event goes to `fallback`.
class EventLogAuditSink : public IAuditSink {
 public:
  static constexpr unsigned kChangeEventId = 1000;
  EventLogAuditSink(std::unique_ptr<IEventLog> log, std::string source, std::unique_ptr<IAuditSink> fallback)
      : log_(std::move(log)), source_(std::move(source)), fallback_(std::move(fallback)) {}
  bool Write(const AuditRecord& record) override;
  // Only what went to the file: the event log is not read back.
  bool HoldsEndOf(const AuditRecord& started) override { return fallback_ && fallback_->HoldsEndOf(started); }

 private:
  std::unique_ptr<IEventLog> log_;
  std::string source_;
  std::unique_ptr<IAuditSink> fallback_;
};

// Writes ahead: Begin keeps the started change in "<folder>/audit.pending" (flushed) before its
// record goes to the sink; Write of its completion removes it.  A run that finds the file left by
// one that died reports that change once as "interrupted", unless the sink shows the change's end
// (the run died after its record, before removing the file).  Every failed write leaves a log line.
class AuditTrail : public IAuditSink {
 public:
  using LogLine = std::function<void(const std::string&)>;
  AuditTrail(std::unique_ptr<IAuditSink> sink, std::string folder, LogLine log);
  bool Begin(const AuditRecord& started) override;
  bool Write(const AuditRecord& record) override;
  std::optional<AuditRecord> TakeInterrupted() override;
  const std::string& pendingPath() const noexcept { return pending_; }

 private:
  std::unique_ptr<IAuditSink> sink_;
  std::string folder_, pending_;
  LogLine log_;
  bool begun_ = false;
};

// The log lines of the audit trail.
inline constexpr const char* kLogAuditNotWritten = "AUDIT NOT WRITTEN";
std::string InterruptedLogLine(const AuditRecord& interrupted);  // "INTERRUPTED A->B started ..."

// The launcher service's event source, under which the tray program's records appear.
inline constexpr const char* kAuditEventSource = "NvMGR";
// Windows: the event log under kAuditEventSource, else the JSON-lines file in the log folder;
// Linux: the JSON-lines file in "<installedPath>/Log"; either written ahead (AuditTrail), with
// its failures on `log`.  Null without an installation folder.
std::unique_ptr<IAuditSink> MakeSystemAuditSink(const std::string& installedPath,
                                                AuditTrail::LogLine log = nullptr);

// Wall time as record text and a monotonic stopwatch; tests give fixed ones.
struct AuditClock {
  std::function<std::string()> utcText;
  std::function<double()> monotonicMs;
  static AuditClock System();
};

// Runs doChange with every step timed and returns its record; the isolation result comes from
// `steps.isolation`.  `ahead` (may be null) gets the "started" record before the first step.  The
// caller may add what it checks afterwards before writing the record.
AuditRecord RunAuditedChange(ChangeTrigger trigger, int showProgress, ChangeState& state, const CCfginfo& cfg,
                             const ChangeSteps& steps, IAuditSink* ahead = nullptr,
                             const AuditClock& clock = AuditClock::System());

}  // namespace nv::core
