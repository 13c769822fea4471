#include "change_request.h"

namespace ldnvchng {
namespace {

constexpr uint32_t kCommandStatus = 0;

std::string Lower(const std::string& text) {
  std::string lower = text;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

char Letter(int network) { return network == 0 ? 'A' : 'B'; }

std::string InForce(TrayChannel& tray, int network) {
  const std::string name = tray.NetworkName(network);
  std::string text = std::string("Network ") + Letter(network) + " in force";
  return name.empty() ? text : text + " (" + name + ")";
}

const char* const kNoTray = "No Netvane tray program is running.";
const char* const kNoRequests =
    "Refused: the Netvane tray program takes no requests from other programs (UseDll is 0).";
const char* const kNoAnswerText = "The Netvane tray program did not answer.";

// Copy-data to a tray program that refuses while a change runs: asked again until it takes the
// request or the bound runs out.  The bound is shared by every request of one command line.
class Requests {
 public:
  Requests(TrayChannel& tray, unsigned limitMs) : m_tray(tray), m_leftMs(limitMs) {}

  Answer Send(uint32_t command) {
    for (;;) {
      const Answer answer = m_tray.SendCommand(command);
      if (answer != Answer::kBusy) return answer;
      if (m_leftMs == 0) return Answer::kBusy;
      const unsigned wait = m_leftMs < kBusyRetryMs ? m_leftMs : kBusyRetryMs;
      m_tray.Wait(wait);
      m_leftMs -= wait;
      m_waitedMs += wait;
    }
  }
  unsigned waitedMs() const { return m_waitedMs; }

 private:
  TrayChannel& m_tray;
  unsigned m_leftMs;
  unsigned m_waitedMs = 0;
};

struct Status {
  Answer answer = Answer::kNoAnswer;
  std::optional<int> network;  // when taken and written
};

// Asks the tray program to write the network in force, then reads it.
Status AskStatus(TrayChannel& tray, Requests& requests) {
  Status status;
  status.answer = requests.Send(kCommandStatus);
  if (status.answer != Answer::kTaken) return status;
  const auto stored = tray.StoredStatus();
  if (stored) status.network = NetworkFromStatus(*stored);
  return status;
}

Outcome Busy(const Requests& requests) {
  return {kChangeRefused, "Refused: the Netvane tray program was busy with a change for " +
                              std::to_string((requests.waitedMs() + 999) / 1000) +
                              " s and took no request; the network in force is not known."};
}

Outcome Unanswered(const Status& status, const Requests& requests) {
  if (status.answer == Answer::kBusy) return Busy(requests);
  return {kNoAnswer, kNoAnswerText};
}

Outcome Refused(TrayChannel& tray, int network) {
  return {kChangeRefused, "Change refused: the tray program was busy or the change did not go through. " +
                              InForce(tray, network) + "."};
}

Outcome OwnChange(TrayChannel& tray, unsigned limitMs) {
  if (!tray.Running()) {
    const std::string why = tray.StartTray();
    if (!why.empty()) return {kNoTrayProgram, std::string(kNoTray) + " It could not be started: " + why};
    return {kDone, "Netvane was not running and has been started; it starts on network A."};
  }
  if (!tray.AcceptsRequests()) {
    // Without the status answer the result cannot be told; the change message itself is honoured.
    if (!tray.SendChange()) return {kNoAnswer, kNoAnswerText};
    return {kDone, "Change asked."};
  }
  Requests requests(tray, limitMs);
  const Status before = AskStatus(tray, requests);
  if (!before.network) return Unanswered(before, requests);
  // The window message carries no refusal: a change that did not happen shows in the status.
  if (!tray.SendChange()) return {kNoAnswer, kNoAnswerText};
  const Status after = AskStatus(tray, requests);
  if (!after.network) return Unanswered(after, requests);
  if (*after.network == *before.network) return Refused(tray, *after.network);
  return {kDone, InForce(tray, *after.network) + "."};
}

Outcome ChangeTo(TrayChannel& tray, int network, unsigned limitMs) {
  if (!tray.Running()) return {kNoTrayProgram, kNoTray};
  if (!tray.AcceptsRequests()) return {kChangeRefused, kNoRequests};
  Requests requests(tray, limitMs);
  const Status before = AskStatus(tray, requests);
  if (!before.network) return Unanswered(before, requests);
  if (*before.network == network) return {kDone, InForce(tray, network) + " already."};
  // A change that starts between the two requests makes the tray refuse this one: it is asked
  // again, and may find the network in force by then.
  const Answer asked = requests.Send(static_cast<uint32_t>(network) + 1);
  if (asked != Answer::kTaken) return Unanswered({asked, std::nullopt}, requests);
  const Status after = AskStatus(tray, requests);
  if (!after.network) return Unanswered(after, requests);
  if (*after.network != network) return Refused(tray, *after.network);
  return {kDone, InForce(tray, network) + "."};
}

Outcome StatusOf(TrayChannel& tray, unsigned limitMs) {
  if (!tray.Running()) return {kNoTrayProgram, kNoTray};
  if (!tray.AcceptsRequests()) return {kChangeRefused, kNoRequests};
  Requests requests(tray, limitMs);
  const Status status = AskStatus(tray, requests);
  if (!status.network) return Unanswered(status, requests);
  return {kDone, InForce(tray, *status.network) + "."};
}

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& arguments) {
  ParseResult result;
  if (arguments.empty()) {
    result.ok = true;
    return result;
  }
  if (arguments.size() > 1) {
    result.error = "Too many arguments.";
    return result;
  }
  const std::string word = Lower(arguments[0]);
  result.ok = true;
  if (word == "a" || word == "b") {
    result.request = {Action::kChangeTo, word == "a" ? 0 : 1};
  } else if (word == "status") {
    result.request = {Action::kStatus, 0};
  } else if (word == "--help" || word == "-h" || word == "/?" || word == "/h") {
    result.request = {Action::kHelp, 0};
  } else {
    result.ok = false;
    result.error = "Unknown argument \"" + arguments[0] + "\".";
  }
  return result;
}

std::string UsageText() {
  return "Usage: LDNvChng [A | B | status | --help]\n"
         "  (none)   ask the running Netvane tray program to change network,\n"
         "           or start Netvane when it is not running\n"
         "  A, B     change to network A or B\n"
         "  status   print the network in force\n"
         "  --help   show this text\n"
         "Exit codes: 0 done, 1 bad argument, 2 no tray program, 3 change refused\n"
         "            (or the tray program stayed busy with a change), 4 no answer\n";
}

std::optional<int> NetworkFromStatus(uint32_t dwNet) {
  if (dwNet == 1) return 0;
  if (dwNet == 2) return 1;
  return std::nullopt;
}

Outcome RunRequest(const Request& request, TrayChannel& tray, unsigned busyLimitMs) {
  switch (request.action) {
    case Action::kHelp:
      return {kDone, UsageText()};
    case Action::kChange:
      return OwnChange(tray, busyLimitMs);
    case Action::kChangeTo:
      return ChangeTo(tray, request.network, busyLimitMs);
    case Action::kStatus:
      return StatusOf(tray, busyLimitMs);
  }
  return {kBadArgument, UsageText()};
}

}  // namespace ldnvchng
