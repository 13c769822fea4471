#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/posix_fd.h"
#include "platform/serial_port.h"

using nv::serial::OpenComPort;

namespace {

// Maps COM<n> for the length of one test and removes the mapping again.
class ScopedComMapping {
 public:
  ScopedComMapping(unsigned n, const std::string& path) : name_("NV_COM" + std::to_string(n) + "_PATH") {
    ::setenv(name_.c_str(), path.c_str(), 1);
  }
  ~ScopedComMapping() { ::unsetenv(name_.c_str()); }

 private:
  std::string name_;
};

}  // namespace

TEST(SerialPort, UnmappedPortsNeverOpen) {
  for (unsigned n : {0u, 1u, 4u, 17u}) {
    SCOPED_TRACE(n);
    ::unsetenv(("NV_COM" + std::to_string(n) + "_PATH").c_str());
    std::string why;
    EXPECT_EQ(OpenComPort(n, &why), nullptr);
    EXPECT_FALSE(why.empty());
  }
  ScopedComMapping empty(2, "");
  EXPECT_EQ(OpenComPort(2), nullptr);
}

TEST(SerialPort, PathsThatAreNotSerialPortsAreRefused) {
  char file[] = "/tmp/nv-serial-XXXXXX";
  const int fd = ::mkstemp(file);
  ASSERT_GE(fd, 0);
  ::close(fd);
  for (const std::string& path : {std::string(file), std::string("/nonexistent/nv-port")}) {
    SCOPED_TRACE(path);
    ScopedComMapping map(3, path);
    std::string why;
    EXPECT_EQ(OpenComPort(3, &why), nullptr);
    EXPECT_NE(why.find(path), std::string::npos) << why;
  }
  std::remove(file);
}

TEST(SerialPort, SetLinesApplies9600BaudRaw8N1) {
  nv::posix::UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY));
  ASSERT_TRUE(master.valid());
  ASSERT_EQ(::grantpt(master.get()), 0);
  ASSERT_EQ(::unlockpt(master.get()), 0);
  // Start from a cooked, 38400-baud, 7E2 terminal so every change shows.
  termios before{};
  ASSERT_EQ(::tcgetattr(master.get(), &before), 0);
  before.c_lflag |= ICANON | ECHO;
  before.c_cflag = (before.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB;
  ::cfsetospeed(&before, B38400);
  ::cfsetispeed(&before, B38400);
  ASSERT_EQ(::tcsetattr(master.get(), TCSANOW, &before), 0);

  ScopedComMapping map(1, ::ptsname(master.get()));
  auto port = OpenComPort(1);
  ASSERT_NE(port, nullptr);

  termios t{};
  ASSERT_EQ(::tcgetattr(master.get(), &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B38400)) << "nothing is applied at open";

  // A pseudo-terminal has no modem lines: the setting applies, the lines are reported as refused.
  EXPECT_FALSE(port->SetLines(true, true));
  ASSERT_EQ(::tcgetattr(master.get(), &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
}
