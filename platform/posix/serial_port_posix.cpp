#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix_fd.h"
#include "platform/serial_port.h"

namespace nv::serial {
namespace {

class PosixComPort final : public SerialPort {
 public:
  PosixComPort(posix::UniqueFd fd, const termios& setting) noexcept : fd_(std::move(fd)), setting_(setting) {}

  bool SetLines(bool dtr, bool rts) noexcept override {
    bool ok = ::tcsetattr(fd_.get(), TCSANOW, &setting_) == 0;
    const int high = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
    const int low = (dtr ? 0 : TIOCM_DTR) | (rts ? 0 : TIOCM_RTS);
    if (high != 0) ok = ::ioctl(fd_.get(), TIOCMBIS, &high) == 0 && ok;
    if (low != 0) ok = ::ioctl(fd_.get(), TIOCMBIC, &low) == 0 && ok;
    return ok;
  }

 private:
  posix::UniqueFd fd_;
  termios setting_;
};

void Explain(std::string* why, const std::string& what, int err) {
  if (why) *why = what + ": " + std::strerror(err);
}

}  // namespace

std::unique_ptr<SerialPort> OpenComPort(unsigned number, std::string* why) noexcept try {
  const std::string variable = "NV_COM" + std::to_string(number) + "_PATH";
  const char* path = number == 0 ? nullptr : std::getenv(variable.c_str());
  if (path == nullptr || *path == '\0') {
    if (why) *why = "COM" + std::to_string(number) + " is not mapped (" + variable + " is not set)";
    return nullptr;
  }
  // Non-blocking, so that the open does not wait for a carrier that a switch box never raises.
  posix::UniqueFd fd(::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) {
    Explain(why, std::string("open ") + path, errno);
    return nullptr;
  }
  termios setting{};
  if (!::isatty(fd.get()) || ::tcgetattr(fd.get(), &setting) != 0) {
    Explain(why, std::string(path) + " is not a serial port", errno);
    return nullptr;
  }
  ::ioctl(fd.get(), TIOCEXCL);  // no sharing, as far as the driver offers it
  ::cfmakeraw(&setting);
  ::cfsetispeed(&setting, B9600);
  ::cfsetospeed(&setting, B9600);
  setting.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  setting.c_cflag |= CS8 | CREAD | CLOCAL;
  return std::make_unique<PosixComPort>(std::move(fd), setting);
} catch (...) {
  if (why) *why = "out of memory";
  return nullptr;
}

}  // namespace nv::serial
