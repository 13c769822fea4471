// A serial port used only for its control lines: no data is read or written, the device on the
// other end reads the levels of DTR and RTS.
#pragma once
#include <memory>
#include <string>

namespace nv::serial {

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Applies the port's whole line setting (9600 baud, 8 data bits, no parity, one stop bit,
  // binary; everything else as the port reported it when opened) with DTR and RTS driven high
  // (true) or low (false), in one step.  False when the port refused any part of it.
  [[nodiscard]] virtual bool SetLines(bool dtr, bool rts) noexcept = 0;
};

// Opens "COM<number>" for reading and writing, not shared.  The line setting is read from the
// port and kept; nothing is applied until SetLines.  Null when the port does not open; `why`
// then says what failed.
//
// Linux maps COM<number> to the device path in the environment variable NV_COM<number>_PATH.
// There is deliberately no default: an unmapped port never opens, so no guessed device (such as
// a console on the first serial port) is ever touched.
std::unique_ptr<SerialPort> OpenComPort(unsigned number, std::string* why = nullptr) noexcept;

}  // namespace nv::serial
