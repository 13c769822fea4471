#include "netvane/change_audit.h"

#include <cstdio>
#include <ctime>
#include <string_view>

#include "corekit/debug.h"
#include "log_io.h"
#include "netvane/cfginfo.h"

namespace nv::core {
namespace {

const char* Letter(int network) { return network != 0 ? "B" : "A"; }

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        } else {
          out += ch;  // UTF-8 passes as it is
        }
    }
  }
  return out + "\"";
}

std::string Number(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", ms);
  return text;
}

const char* IsolationState(IsolationResult::State state) {
  switch (state) {
    case IsolationResult::State::Passed:
      return "passed";
    case IsolationResult::State::Failed:
      return "failed";
    case IsolationResult::State::NotChecked:
      return "not checked";
    case IsolationResult::State::NotRun:
      break;
  }
  return "not run";
}

// Each step of the change, timed where it is called; the change sees the same interfaces.
class TimedSteps : public IPrinterStep,
                   public IDriveStep,
                   public ISwitchCommand,
                   public IAddressRenewal,
                   public IIsolationCheck {
 public:
  TimedSteps(const ChangeSteps& inner, AuditRecord& record, const AuditClock& clock)
      : inner_(inner), record_(record), clock_(clock) {}

  ChangeSteps Steps() {
    ChangeSteps steps{inner_.display, *this, *this, *this, *this, inner_.tray};
    steps.isolation = inner_.isolation ? this : nullptr;
    return steps;
  }
  bool switchCalled() const noexcept { return switchCalled_; }

  int PrinterStep(const std::string& productKeyPath, int network, int sessionEnding, int phase) override {
    return Time(phase ? "printers before" : "printers after", network,
                [&] { return inner_.printers.PrinterStep(productKeyPath, network, sessionEnding, phase); });
  }
  void BeforeSwitch(int network) override {
    Time("drives before", network, [&] {
      inner_.drives.BeforeSwitch(network);
      return 1;
    });
  }
  void AfterSwitch(int network) override {
    Time("after change", network, [&] {
      inner_.drives.AfterSwitch(network);
      return 1;
    });
  }
  int ChangeRG(int network, int wait, IProgressSink* indicator) override {
    switchCalled_ = true;
    return Time("switch box", network, [&] { return inner_.switchBox.ChangeRG(network, wait, indicator); });
  }
  int DelGateway() override {
    return Time("route removal", record_.to, [&] { return inner_.address.DelGateway(); });
  }
  int DelArp(uint32_t gateway) override {
    return Time("ARP removal", record_.to, [&] { return inner_.address.DelArp(gateway); });
  }
  int AddGateway(uint32_t gateway) override {
    return Time("route addition", record_.to, [&] { return inner_.address.AddGateway(gateway); });
  }
  int ChangeIPbyDHCP(const NetCfgRecord& r) override {
    return Time("address change", record_.to, [&] { return inner_.address.ChangeIPbyDHCP(r); });
  }
  int ClearAddresses(const NetCfgRecord& r) override {
    return Time("adapter clear", record_.to, [&] { return inner_.address.ClearAddresses(r); });
  }
  std::string AddressFailure() const override { return inner_.address.AddressFailure(); }
  std::string FailureDetail() const override { return inner_.address.FailureDetail(); }
  void BeforeSwitch(int from, int target) override { inner_.isolation->BeforeSwitch(from, target); }
  IsolationResult CheckAfterChange(int network) override {
    IsolationResult result;
    Time("isolation check", network, [&] {
      result = inner_.isolation->CheckAfterChange(network);
      return result.state == IsolationResult::State::Passed ? 1 : 0;
    });
    record_.isolation = result;
    return result;
  }

 private:
  template <typename Call>
  int Time(const char* name, int network, Call call) {
    const double start = clock_.monotonicMs();
    const int result = call();
    record_.steps.push_back({name, network != 0 ? 1 : 0, result, clock_.monotonicMs() - start});
    return result;
  }

  const ChangeSteps& inner_;
  AuditRecord& record_;
  const AuditClock& clock_;
  bool switchCalled_ = false;
};

}  // namespace

const char* TriggerName(ChangeTrigger trigger) noexcept {
  switch (trigger) {
    case ChangeTrigger::TrayCommand:
      return "tray command";
    case ChangeTrigger::Schedule:
      return "schedule";
    case ChangeTrigger::IdleReturn:
      return "idle return";
    case ChangeTrigger::SecondStart:
      return "second start";
    case ChangeTrigger::CopyData:
      return "copy-data";
    case ChangeTrigger::ChangeHelper:
      return "change helper";
    case ChangeTrigger::EndOfSession:
      return "end of session";
    case ChangeTrigger::StartUp:
      return "start-up";
    case ChangeTrigger::Exit:
      return "exit";
    case ChangeTrigger::Repeat:
      return "repeat timer";
  }
  return "unknown";
}

const char* AdapterClearOutcome(AdapterClear clear) noexcept {
  switch (clear) {
    case AdapterClear::Cleared:
      return "; address released, adapter cleared";
    case AdapterClear::NotCleared:
      return "; the adapter could not be cleared";
    case AdapterClear::NotAttempted:
      break;
  }
  return "";
}

std::string AuditJson(const AuditRecord& r) {
  std::string j = "{\"time\":" + JsonString(r.time) + ",\"trigger\":" + JsonString(TriggerName(r.trigger)) +
                  ",\"from\":\"" + Letter(r.from) + "\",\"fromName\":" + JsonString(r.fromName) +
                  ",\"to\":\"" + Letter(r.to) + "\",\"toName\":" + JsonString(r.toName) + ",\"steps\":[";
  for (size_t i = 0; i < r.steps.size(); ++i) {
    const AuditStep& s = r.steps[i];
    j += std::string(i ? "," : "") + "{\"step\":" + JsonString(s.name) + ",\"network\":\"" +
         Letter(s.network) + "\",\"result\":" + std::to_string(s.result) + ",\"ms\":" + Number(s.ms) + "}";
  }
  j += "],\"isolation\":{\"state\":" + JsonString(IsolationState(r.isolation.state)) + ",\"leftovers\":[";
  for (size_t i = 0; i < r.isolation.leftovers.size(); ++i)
    j += std::string(i ? "," : "") + JsonString(r.isolation.leftovers[i]);
  j += "]";
  if (!r.isolation.problem.empty()) j += ",\"problem\":" + JsonString(r.isolation.problem);
  return j + "},\"outcome\":" + JsonString(r.outcome) + ",\"ms\":" + Number(r.ms) + "}";
}

std::string AuditText(const AuditRecord& r) {
  std::string t = "Network change at " + r.time + "\r\nTrigger: " + TriggerName(r.trigger) +
                  "\r\nFrom: network " + Letter(r.from) + " (" + r.fromName + ")\r\nTo: network " +
                  Letter(r.to) + " (" + r.toName + ")\r\nOutcome: " + r.outcome + "\r\nIsolation check: " +
                  (r.isolation.state == IsolationResult::State::NotRun ? "not run" : r.isolation.Summary()) +
                  "\r\nSteps:\r\n";
  for (const AuditStep& s : r.steps)
    t += "  " + s.name + " (network " + Letter(s.network) + "): " + std::to_string(s.result) + ", " +
         Number(s.ms) + " ms\r\n";
  return t + "Duration: " + Number(r.ms) + " ms";
}

JsonLinesAuditSink::JsonLinesAuditSink(std::string folder)
    : folder_(std::move(folder)), path_(folder_ + logio::PathSeparator() + "audit.jsonl") {}

bool JsonLinesAuditSink::Write(const AuditRecord& record) {
  logio::CreateFolder(folder_);
  // Flushed: the record must outlive a crash of this machine right after the change.
  if (logio::AppendExclusive(path_, AuditJson(record) + "\n", 2000, true)) return true;
  CDebug::dprintf("Audit: cannot append to %s\n", path_.c_str());
  return false;
}

bool JsonLinesAuditSink::HoldsEndOf(const AuditRecord& started) {
  std::string text;
  if (started.time.empty() || !logio::ReadSmallFile(path_, text)) return false;
  // The records of one change share its start time, written first on each line; the outcome is
  // the last field but one.
  const std::string head = "{\"time\":" + JsonString(started.time) + ",";
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + pos, end - pos);
    pos = end + 1;
    const size_t outcome = line.rfind(",\"outcome\":");
    if (line.rfind(head, 0) != 0 || outcome == std::string_view::npos) continue;
    const std::string_view value = line.substr(outcome + 11);
    if (value.rfind("\"started\"", 0) != 0 && value.rfind("\"interrupted\"", 0) != 0) return true;
  }
  return false;
}

bool EventLogAuditSink::Write(const AuditRecord& record) {
  // A leftover of the other network is an error; a change that did not arrive, a warning.
  const bool fine = record.outcome.rfind("changed", 0) == 0 || record.outcome == "started";
  const IEventLog::Kind kind = record.isolation.failedOrUnchecked() ? IEventLog::Kind::Error
                               : fine                               ? IEventLog::Kind::Information
                                                                    : IEventLog::Kind::Warning;
  if (log_ && log_->SourceRegistered(source_) &&
      log_->Report(source_, kind, kChangeEventId, AuditText(record)))
    return true;
  CDebug::dprintf("Audit: event source %s missing or refused; writing the record to the file\n",
                  source_.c_str());
  return fallback_ && fallback_->Write(record);
}

namespace {

constexpr const char* kPendingName = "audit.pending";

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

std::string PendingText(const AuditRecord& r) {
  return "time=" + OneLine(r.time) + "\ntrigger=" + TriggerName(r.trigger) + "\nfrom=" + Letter(r.from) +
         "\nto=" + Letter(r.to) + "\nfromName=" + OneLine(r.fromName) + "\ntoName=" + OneLine(r.toName) +
         "\n";
}

// Reads back what PendingText wrote; a damaged file still names an interrupted change.
AuditRecord ParsePending(const std::string& text) {
  AuditRecord r;
  r.trigger = ChangeTrigger::ChangeHelper;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "time") r.time = value;
    if (key == "from") r.from = value == "B" ? 1 : 0;
    if (key == "to") r.to = value == "B" ? 1 : 0;
    if (key == "fromName") r.fromName = value;
    if (key == "toName") r.toName = value;
    if (key == "trigger") {
      for (int t = 0; t <= static_cast<int>(ChangeTrigger::Repeat); ++t)
        if (value == TriggerName(static_cast<ChangeTrigger>(t))) r.trigger = static_cast<ChangeTrigger>(t);
    }
  }
  return r;
}

}  // namespace

AuditTrail::AuditTrail(std::unique_ptr<IAuditSink> sink, std::string folder, LogLine log)
    : sink_(std::move(sink)),
      folder_(std::move(folder)),
      pending_(folder_ + logio::PathSeparator() + kPendingName),
      log_(std::move(log)) {}

bool AuditTrail::Begin(const AuditRecord& started) {
  logio::CreateFolder(folder_);
  // The marker first: a run that dies after it is reported by the next one.
  const bool marked = logio::ReplaceFlushed(pending_, PendingText(started));
  const bool written = sink_ && sink_->Write(started);
  begun_ = marked;
  if (!marked || !written) {
    CDebug::dprintf("Audit: the started record was not written (%s)\n", marked ? "sink" : pending_.c_str());
    if (log_) log_(std::string(kLogAuditNotWritten) + " (started)");
  }
  return marked && written;
}

bool AuditTrail::Write(const AuditRecord& record) {
  const bool written = sink_ && sink_->Write(record);
  if (!written) {
    if (log_) log_(std::string(kLogAuditNotWritten) + " (" + record.outcome + ")");
    // The marker stays: the record of this change is missing, the next run says so.
    return false;
  }
  if (begun_) logio::DeleteFileQuietly(pending_);
  begun_ = false;
  return true;
}

std::optional<AuditRecord> AuditTrail::TakeInterrupted() {
  std::string text;
  if (!logio::ReadSmallFile(pending_, text)) return std::nullopt;
  AuditRecord r = ParsePending(text);
  if (sink_ && sink_->HoldsEndOf(r)) {
    // The run ended after the change and its record, just before removing the marker.
    CDebug::dprintf("Audit: the change started %s has its record; its marker was left\n", r.time.c_str());
    logio::DeleteFileQuietly(pending_);
    return std::nullopt;
  }
  r.outcome = "interrupted";
  r.isolation.state = IsolationResult::State::NotRun;
  if (log_) log_(InterruptedLogLine(r));
  if (!(sink_ && sink_->Write(r)) && log_) log_(std::string(kLogAuditNotWritten) + " (interrupted)");
  logio::DeleteFileQuietly(pending_);  // reported once
  return r;
}

std::string InterruptedLogLine(const AuditRecord& r) {
  return std::string("INTERRUPTED ") + Letter(r.from) + "->" + Letter(r.to) + " started " + r.time + " (" +
         TriggerName(r.trigger) + ")";
}

std::unique_ptr<IAuditSink> MakeSystemAuditSink(const std::string& installedPath, AuditTrail::LogLine log) {
  if (installedPath.empty()) return nullptr;
  const std::string folder = installedPath + logio::PathSeparator() + "Log";
  std::unique_ptr<IAuditSink> sink = std::make_unique<JsonLinesAuditSink>(folder);
  if (auto events = MakeSystemEventLog())
    sink = std::make_unique<EventLogAuditSink>(std::move(events), kAuditEventSource, std::move(sink));
  return std::make_unique<AuditTrail>(std::move(sink), folder, std::move(log));
}

AuditClock AuditClock::System() {
  AuditClock clock;
  clock.utcText = [] {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
    return std::string(text);
  };
  clock.monotonicMs = [] {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  return clock;
}

AuditRecord RunAuditedChange(ChangeTrigger trigger, int showProgress, ChangeState& state, const CCfginfo& cfg,
                             const ChangeSteps& steps, IAuditSink* ahead, const AuditClock& clock) {
  AuditRecord record;
  record.time = clock.utcText();
  record.trigger = trigger;
  record.from = state.previous != 0 ? 1 : 0;
  record.to = state.current != 0 ? 1 : 0;
  record.fromName = cfg.szNet[record.from];
  record.toName = cfg.szNet[record.to];
  if (ahead) {
    AuditRecord started = record;
    started.outcome = "started";
    ahead->Begin(started);
  }
  TimedSteps timed(steps, record, clock);
  const double start = clock.monotonicMs();
  doChange(showProgress, state, cfg, timed.Steps());
  record.ms = clock.monotonicMs() - start;

  const bool arrived = (state.current != 0 ? 1 : 0) == record.to;
  if (!arrived) {
    record.outcome = timed.switchCalled() ? "abandoned: the switch box was not commanded"
                                          : "refused by the printer helper";
  } else if (state.addressResult == IAddressRenewal::kAddressInUse) {
    record.outcome = "failed: " + steps.address.AddressFailure();
  } else if (state.addressResult == IAddressRenewal::kFixedSettingsFailed) {
    record.outcome = "changed, " + steps.address.FailureDetail();
  } else if (record.isolation.failedOrUnchecked()) {
    record.outcome = record.isolation.state == IsolationResult::State::Failed
                         ? "changed, not isolated"
                         : "changed, isolation not checked";
  } else if (state.addressResult == IAddressRenewal::kEmulationFailed) {
    record.outcome = "switched, no address: the DHCP emulation could not be armed (adapter cleared)";
  } else if (state.addressResult == IAddressRenewal::kRenewFailed) {
    record.outcome = "switched, no address: the renew got no answer (adapter cleared)";
  } else {
    record.outcome = state.sessionEnding ? "changed, addresses left (session ends)" : "changed";
  }
  record.outcome += AdapterClearOutcome(state.adapterClear);
  return record;
}

}  // namespace nv::core
