#include <gtest/gtest.h>

#include "update_agent.h"

TEST(UpdateAgentParametersTest, MakerProductWindowExitCommandAndProgram) {
  EXPECT_EQ(nv::app::UpdateAgentParameters(0x000A01F2u, 5007, "C:\\Program Files\\Netvane\\Netvane.exe"),
            "Tarn Netvane-H 655858l 5007 \"C:\\Program Files\\Netvane\\Netvane.exe\"");
  EXPECT_EQ(nv::app::UpdateAgentParameters(0xFFFFFFFFu, 5007, "N.exe"),
            "Tarn Netvane-H 4294967295l 5007 \"N.exe\"");
}
