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

// Asks the tray program to write the network in force, then reads it.
std::optional<int> AskStatus(TrayChannel& tray) {
  if (!tray.SendCommand(kCommandStatus)) return std::nullopt;
  const auto stored = tray.StoredStatus();
  return stored ? NetworkFromStatus(*stored) : std::nullopt;
}

Outcome Refused(TrayChannel& tray, int network) {
  return {kChangeRefused, "Change refused: the tray program was busy or the change did not go through. " +
                              InForce(tray, network) + "."};
}

Outcome OwnChange(TrayChannel& tray) {
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
  const auto before = AskStatus(tray);
  if (!before) return {kNoAnswer, kNoAnswerText};
  if (!tray.SendChange()) return {kNoAnswer, kNoAnswerText};
  const auto after = AskStatus(tray);
  if (!after) return {kNoAnswer, kNoAnswerText};
  if (*after == *before) return Refused(tray, *after);
  return {kDone, InForce(tray, *after) + "."};
}

Outcome ChangeTo(TrayChannel& tray, int network) {
  if (!tray.Running()) return {kNoTrayProgram, kNoTray};
  if (!tray.AcceptsRequests()) return {kChangeRefused, kNoRequests};
  const auto before = AskStatus(tray);
  if (!before) return {kNoAnswer, kNoAnswerText};
  if (*before == network) return {kDone, InForce(tray, network) + " already."};
  if (!tray.SendCommand(static_cast<uint32_t>(network) + 1)) return {kNoAnswer, kNoAnswerText};
  const auto after = AskStatus(tray);
  if (!after) return {kNoAnswer, kNoAnswerText};
  if (*after != network) return Refused(tray, *after);
  return {kDone, InForce(tray, network) + "."};
}

Outcome Status(TrayChannel& tray) {
  if (!tray.Running()) return {kNoTrayProgram, kNoTray};
  if (!tray.AcceptsRequests()) return {kChangeRefused, kNoRequests};
  const auto network = AskStatus(tray);
  if (!network) return {kNoAnswer, kNoAnswerText};
  return {kDone, InForce(tray, *network) + "."};
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
         "Exit codes: 0 done, 1 bad argument, 2 no tray program, 3 change refused,\n"
         "            4 the tray program did not answer\n";
}

std::optional<int> NetworkFromStatus(uint32_t dwNet) {
  if (dwNet == 1) return 0;
  if (dwNet == 2) return 1;
  return std::nullopt;
}

Outcome RunRequest(const Request& request, TrayChannel& tray) {
  switch (request.action) {
    case Action::kHelp:
      return {kDone, UsageText()};
    case Action::kChange:
      return OwnChange(tray);
    case Action::kChangeTo:
      return ChangeTo(tray, request.network);
    case Action::kStatus:
      return Status(tray);
  }
  return {kBadArgument, UsageText()};
}

}  // namespace ldnvchng
