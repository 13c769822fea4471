#include "options.h"

#include <gtest/gtest.h>

using namespace nv::switchbox;

TEST(SwitchboxOptions, DefaultsAreTheLabNamesWithNetworkAConnected) {
  Options o;
  std::string error;
  ASSERT_TRUE(ParseOptions({}, o, error));
  EXPECT_EQ(o.cable, "cable");
  EXPECT_EQ(o.port_a, "br-a");
  EXPECT_EQ(o.port_b, "br-b");
  EXPECT_EQ(o.initial, Port::A);
  EXPECT_TRUE(o.pidfile.empty());
  EXPECT_FALSE(o.verbose);
}

TEST(SwitchboxOptions, EveryOptionIsTaken) {
  Options o;
  std::string error;
  ASSERT_TRUE(ParseOptions(
      {"--cable", "c0", "--port-a", "x", "--port-b", "y", "--initial", "none", "--pidfile", "/tmp/p", "-v"},
      o, error))
      << error;
  EXPECT_EQ(o.cable, "c0");
  EXPECT_EQ(o.port_a, "x");
  EXPECT_EQ(o.port_b, "y");
  EXPECT_EQ(o.initial, Port::None);
  EXPECT_EQ(o.pidfile, "/tmp/p");
  EXPECT_TRUE(o.verbose);
  ASSERT_TRUE(ParseOptions({"--initial", "B"}, o, error));
  EXPECT_EQ(o.initial, Port::B);
}

TEST(SwitchboxOptions, BadCommandLinesAreRefusedAndLeaveTheOptionsAlone) {
  struct Case {
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {{"--cable"}, "--cable needs a value"},
      {{"--cable", ""}, "--cable needs a value"},
      {{"--initial", "c"}, "--initial takes a, b or none, not c"},
      {{"--frobnicate"}, "unknown argument: --frobnicate"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    Options o;
    o.cable = "kept";
    std::string error;
    EXPECT_FALSE(ParseOptions(c.args, o, error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(o.cable, "kept");
  }
}
