// Natively the no-card notice has no desktop to show a message box on: it goes to stderr.
#include <gtest/gtest.h>

#include "netvane/nic_notice.h"

TEST(NicNotice, NativeNoticeWritesTheTextToStderr) {
  testing::internal::CaptureStderr();
  nv::core::SystemNicNotice().NoNicInstalled(nv::core::kNoNicInstalledText);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Check Lan Card(NIC) was installed at your PC\n");
}
