#include <gtest/gtest.h>
#include <unistd.h>

#include "corekit/message_box.h"
#include "corekit/nt_service.h"

namespace {

TEST(NtServicePosix, NoManagerNativelyAndRootIsTheAdministrator) {
  std::vector<std::string> texts;
  corekit::SetMessageBoxSink([&](const corekit::MessageBoxRequest& box) {
    texts.push_back(box.text);
    return corekit::kIdOk;
  });
  CNTService service;
  EXPECT_EQ(service.InstallSvc("NvSVC", "/usr/bin/true"), 0);
  EXPECT_EQ(CNTService::IsAdmin(), ::geteuid() == 0 ? 1 : 0);
  corekit::SetMessageBoxSink({});
  EXPECT_EQ(texts, std::vector<std::string>{"Error while opening Service Control Manager."});
}

}  // namespace
