#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corekit/message_box.h"
#include "corekit/nt_service.h"
#include "platform/windows_api.h"

namespace {

class BoxRecorder {
 public:
  BoxRecorder() {
    corekit::SetMessageBoxSink([this](const corekit::MessageBoxRequest& box) {
      texts.push_back(box.text);
      return corekit::kIdOk;
    });
  }
  ~BoxRecorder() { corekit::SetMessageBoxSink({}); }
  std::vector<std::string> texts;
};

TEST(NtServiceWin32, InstallStartAndRemoveARealService) {
  const std::string name = "NvCorekitTest" + std::to_string(::GetCurrentProcessId());
  using namespace corekit::service;
  BoxRecorder boxes;
  CNTService service;
  ASSERT_EQ(service.InstallSvc(name, "Corekit test service", "C:\\no\\such\\service.exe", kAllAccess,
                               kOwnProcess, kDemandStart, kErrorNormal, ""),
            1);
  // Installing it again counts as success, silently.
  EXPECT_EQ(service.InstallSvc(name, "Corekit test service", "C:\\no\\such\\service.exe", kAllAccess,
                               kOwnProcess, kDemandStart, kErrorNormal, ""),
            1);
  EXPECT_TRUE(boxes.texts.empty());

  // Its program does not exist: the start fails with the text for the code the manager gave.
  EXPECT_FALSE(service.StartSvc(name));
  ASSERT_EQ(boxes.texts.size(), 1u);
  EXPECT_TRUE(boxes.texts[0] == "service path not found (Start)." ||
              boxes.texts[0].rfind("Error Start(", 0) == 0)
      << boxes.texts[0];

  EXPECT_TRUE(service.UninstallSvc(name));
  ASSERT_EQ(boxes.texts.size(), 2u);
  EXPECT_EQ(boxes.texts[1], CNTService::kMarkedForDeletion);

  // The manager lets a deleted service go once nothing holds it, which takes a moment on a busy
  // machine.
  SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  ASSERT_NE(manager, nullptr);
  const std::wstring wideName(name.begin(), name.end());
  for (int wait = 0; wait < 100; ++wait) {
    SC_HANDLE still = ::OpenServiceW(manager, wideName.c_str(), SERVICE_QUERY_STATUS);
    if (still == nullptr) break;
    ::CloseServiceHandle(still);
    ::Sleep(100);
  }
  ::CloseServiceHandle(manager);
  EXPECT_FALSE(service.OpenSvc(name));
  ASSERT_EQ(boxes.texts.size(), 3u);
  EXPECT_TRUE(boxes.texts[2] == "dose not serivce exist(open)" || boxes.texts[2] == "Mared For Delete.")
      << boxes.texts[2];
}

TEST(NtServiceWin32, WineUsersAreAdministrators) {
  BoxRecorder boxes;
  EXPECT_EQ(CNTService::IsAdmin(), 1);
  EXPECT_TRUE(boxes.texts.empty());  // the access check itself worked
}

}  // namespace
