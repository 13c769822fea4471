#include "headless_steps.h"

namespace nv::headless {
namespace {

const char* NetworkLetter(int network) { return network == 0 ? "A" : "B"; }

}  // namespace

void ConsoleReport::Line(const std::string& text) const {
  if (quiet_) return;
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
}

void ConsoleReport::NotAvailable(const char* step) {
  // Each missing step is said once per run, not at every change.
  if (!said_.insert(step).second) return;
  Line(std::string("  ") + step + ": not available on this system");
}

void ConsoleDisplay::SetNetwork(int network) {
  shown_ = network;
  report_.Line("  change to network " + std::string(NetworkLetter(network)) + " (" + names_[network & 1] +
               ")");
}

void ConsoleDisplay::Progress(int position, const std::string& text) { SetProgress(position, text); }

void ConsoleDisplay::SetProgress(int position, const std::string& text) {
  char line[64];
  std::snprintf(line, sizeof line, "  [%3d%%] ", position);
  report_.Line(line + text);
}

void ConsoleDisplay::CloseProgress() {}

std::string ConsoleDisplay::Finish() {
  report_.NotAvailable("desktop display and shortcut");
  return names_[shown_ & 1];
}

int UnavailablePrinters::PrinterStep(const std::string&, int, int, int) {
  report_.NotAvailable("printers");
  return 1;  // nothing here can refuse a change
}

void HeadlessAfterChange::BeforeSwitch(int) { report_.NotAvailable("network drive letters"); }

void HeadlessAfterChange::AfterSwitch(int network) {
  report_.NotAvailable("folder guard");
  if (log_) log_("ID" + std::to_string(network + 1));
}

void ConsoleTray::ShowNetwork(int network, const std::string& tip) {
  report_.Line("  tray: network " + std::string(NetworkLetter(network)) + " \"" + tip + "\"");
}

}  // namespace nv::headless
