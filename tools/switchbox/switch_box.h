// What the box does with a received frame: the state of the one cable and the
// line it reports.  The port moves through a PortConnector, so the decisions
// are tested without a network.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "control_frame.h"

namespace nv::switchbox {

enum class Port { None, A, B };

[[nodiscard]] const char* PortName(Port port) noexcept;  // "network A", "network B", "nothing"

class PortConnector {
 public:
  virtual ~PortConnector() = default;
  // Connects the cable to `port` (Port::None: to nothing).  On failure fills
  // `error` and leaves the cable where it was.
  [[nodiscard]] virtual bool Connect(Port port, std::string& error) noexcept = 0;
};

struct Outcome {
  Verdict verdict;
  bool obeyed = false;  // a command that left the cable on its network
  std::string line;     // for stdout: one line per obeyed command
  std::string error;    // for stderr: a command that could not be carried out
};

class SwitchBox {
 public:
  explicit SwitchBox(PortConnector& connector) noexcept : connector_(connector) {}

  // The state after power-on; nothing is connected until this succeeds.
  [[nodiscard]] bool PowerOn(Port initial, std::string& error) noexcept;

  // A command for the network already connected is obeyed without touching
  // the port: the workstation sends every command several times.
  [[nodiscard]] Outcome OnFrame(const std::uint8_t* data, std::size_t size);

  [[nodiscard]] Port connected() const noexcept { return connected_; }

 private:
  PortConnector& connector_;
  Port connected_ = Port::None;
};

}  // namespace nv::switchbox
