// RunProgram: the exit code and output of a helper, a bounded wait, and no wait for processes the
// helper left behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "posix/run_program.h"

namespace {

using nvserv::posix::RunProgram;

TEST(RunProgram, ReportsExitOutputAndTimeLimit) {
  struct Case {
    const char* what;
    std::vector<std::string> argv;
    int timeoutMs;
    bool started, timedOut;
    int exitCode;
    std::string output;
  } cases[] = {
      {"exit code, stdout and stderr",
       {"/bin/sh", "-c", "echo out; echo err >&2; exit 3"},
       10000,
       true,
       false,
       3,
       "out\nerr\n"},
      {"output closed long before the exit",
       {"/bin/sh", "-c", "exec >&- 2>&-; sleep 0.3; exit 4"},
       10000,
       true,
       false,
       4,
       ""},
      {"a process left behind keeps the output open",
       {"/bin/sh", "-c", "sleep 4 & echo started"},
       2000,
       true,
       false,
       0,
       "started\n"},
      {"still running at the limit", {"/bin/sleep", "10"}, 200, true, true, -1, ""},
      {"killed by a signal", {"/bin/sh", "-c", "kill -9 $$"}, 10000, true, false, -1, ""},
      {"no such program",
       {"/nonexistent/program"},
       1000,
       false,
       false,
       -1,
       "cannot start /nonexistent/program"},
      {"not an absolute path", {"sh", "-c", "exit 0"}, 1000, false, false, -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto result = RunProgram(c.argv, c.timeoutMs);
    EXPECT_EQ(result.started, c.started);
    EXPECT_EQ(result.timedOut, c.timedOut);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(result.output, c.output);
  }
}

TEST(RunProgram, OutputIsCutAt16KiB) {
  const auto result = RunProgram({"/bin/sh", "-c", "head -c 40000 /dev/zero | tr '\\0' x"}, 10000);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, std::string(16 * 1024, 'x'));
}

}  // namespace
