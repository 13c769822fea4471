// Runs with the modem-line shim preloaded (see this folder's CMakeLists.txt): the serial port
// seam drives DTR and RTS on a pseudo-terminal, and the shim's log shows the levels.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/posix_fd.h"
#include "platform/serial_port.h"

namespace {

class ModemShimTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* preload = std::getenv("LD_PRELOAD");
    ASSERT_TRUE(preload != nullptr && std::strstr(preload, "modemshim") != nullptr)
        << "this test must run with the modem-line shim preloaded";
    master_.reset(::posix_openpt(O_RDWR | O_NOCTTY));
    ASSERT_TRUE(master_.valid());
    ASSERT_EQ(::grantpt(master_.get()), 0);
    ASSERT_EQ(::unlockpt(master_.get()), 0);
    pty_ = ::ptsname(master_.get());
    char log[] = "/tmp/nv-modemshim-XXXXXX";
    const int fd = ::mkstemp(log);
    ASSERT_GE(fd, 0);
    ::close(fd);
    log_ = log;
    ::setenv("NV_MODEMSHIM_LOG", log_.c_str(), 1);
    ::setenv("NV_COM1_PATH", pty_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("NV_COM1_PATH");
    ::unsetenv("NV_MODEMSHIM_LOG");
    if (!log_.empty()) std::remove(log_.c_str());
  }

  std::vector<std::string> LogLines() const {
    std::ifstream in(log_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::string Levels(int dtr, int rts) const {
    return pty_ + " DTR=" + std::to_string(dtr) + " RTS=" + std::to_string(rts);
  }

  nv::posix::UniqueFd master_;
  std::string pty_;
  std::string log_;
};

}  // namespace

TEST_F(ModemShimTest, NetworkBThenATwiceDrivesBothLinesEachTime) {
  auto port = nv::serial::OpenComPort(1);
  ASSERT_NE(port, nullptr);
  struct Step {
    const char* network;
    bool high;
  } steps[] = {{"B", true}, {"A", false}, {"A again", false}};
  size_t seen = 0;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.network);
    EXPECT_TRUE(port->SetLines(step.high, step.high));
    const auto lines = LogLines();
    ASSERT_GT(lines.size(), seen) << "the levels were not applied again";
    EXPECT_EQ(lines.back(), Levels(step.high, step.high));
    seen = lines.size();
  }
}

TEST_F(ModemShimTest, MixedLevelsSetOneLineAndClearTheOther) {
  auto port = nv::serial::OpenComPort(1);
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(port->SetLines(true, false));
  ASSERT_FALSE(LogLines().empty());
  EXPECT_EQ(LogLines().back(), Levels(1, 0));
  EXPECT_TRUE(port->SetLines(false, true));
  EXPECT_EQ(LogLines().back(), Levels(0, 1));
}
