#include <string>

#include "platform/serial_port.h"
#include "platform/win32_handles.h"

namespace nv::serial {
namespace {

class Win32ComPort final : public SerialPort {
 public:
  Win32ComPort(win32::UniqueFile file, const DCB& dcb) noexcept : file_(std::move(file)), dcb_(dcb) {}

  bool SetLines(bool dtr, bool rts) noexcept override {
    dcb_.fDtrControl = dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb_.fRtsControl = rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    return ::SetCommState(file_.get(), &dcb_) != FALSE;
  }

 private:
  win32::UniqueFile file_;
  DCB dcb_;
};

void Explain(std::string* why, const char* step, unsigned number) {
  if (why)
    *why = std::string(step) + " COM" + std::to_string(number) + " failed, error " +
           std::to_string(::GetLastError());
}

}  // namespace

std::unique_ptr<SerialPort> OpenComPort(unsigned number, std::string* why) noexcept try {
  if (number == 0) {
    if (why) *why = "no port number";
    return nullptr;
  }
  // The \\.\ form also reaches COM10 and above.
  const std::wstring path = L"\\\\.\\COM" + std::to_wstring(number);
  win32::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr));
  if (!file) {
    Explain(why, "open", number);
    return nullptr;
  }
  // Event mask and queue sizes are hints for a port that never carries data: not fatal.
  ::SetCommMask(file.get(), EV_RXCHAR);
  ::SetupComm(file.get(), 4096, 4096);
  DCB dcb{};
  dcb.DCBlength = sizeof(dcb);
  if (!::GetCommState(file.get(), &dcb)) {
    Explain(why, "reading the line setting of", number);
    return nullptr;
  }
  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  return std::make_unique<Win32ComPort>(std::move(file), dcb);
} catch (...) {
  if (why) *why = "out of memory";
  return nullptr;
}

}  // namespace nv::serial
