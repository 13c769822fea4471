#include "resolver_config.h"

#include <gtest/gtest.h>

namespace {

TEST(ResolverConfig, KeepsIpv4NameServersInOrderAndPassesOverEverythingElse) {
  struct Case {
    const char* text;
    std::vector<std::uint32_t> servers;
  };
  const Case cases[] = {
      {"nameserver 10.92.1.53\n", {0x0A5C0135}},
      {"# lab\nsearch example.test\nnameserver 10.91.1.53\nnameserver\t10.92.1.53\r\n",
       {0x0A5B0135, 0x0A5C0135}},
      {"nameserver 10.92.1.53 # B's\nnameserver 10.92.1.53\n", {0x0A5C0135}},  // each once
      {"nameserver ::1\nnameserver 10.92.1.300\nnameserver 10.1.1.1 extra\n", {}},
      {"nameservers 10.1.1.1\n;nameserver 10.1.1.2\n  nameserver 10.1.1.3", {0x0A010103}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text).substr(0, 60));
    EXPECT_EQ(nvutil::ParseResolverConfig(c.text), c.servers);
  }
  EXPECT_TRUE(nvutil::ParseResolverConfig(std::string(100000, 'x')).empty());
  std::string many;
  for (int i = 1; i <= 40; ++i) many += "nameserver 10.0.0." + std::to_string(i) + "\n";
  EXPECT_EQ(nvutil::ParseResolverConfig(many).size(), 16u);
}

}  // namespace
