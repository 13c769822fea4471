#include "switch_box.h"

namespace nv::switchbox {

const char* PortName(Port port) noexcept {
  switch (port) {
    case Port::A:
      return "network A";
    case Port::B:
      return "network B";
    case Port::None:
      break;
  }
  return "nothing";
}

bool SwitchBox::PowerOn(Port initial, std::string& error) noexcept {
  if (!connector_.Connect(initial, error)) return false;
  connected_ = initial;
  return true;
}

Outcome SwitchBox::OnFrame(const std::uint8_t* data, std::size_t size) {
  Outcome out;
  out.verdict = ParseControlFrame(data, size);
  if (!out.verdict.IsCommand()) return out;

  const Port want = out.verdict.network == Network::A ? Port::A : Port::B;
  const std::string command =
      std::string("switchbox: ") + (want == Port::A ? "AA AA" : "55 55") + " -> " + PortName(want);
  if (want == connected_) {
    out.obeyed = true;
    out.line = command + " (already)";
    return out;
  }
  std::string error;
  if (!connector_.Connect(want, error)) {
    out.error = command + " failed: " + error;
    return out;
  }
  connected_ = want;
  out.obeyed = true;
  out.line = command;
  return out;
}

}  // namespace nv::switchbox
