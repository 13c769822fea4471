#include <gtest/gtest.h>

#include <filesystem>

#include "corekit/psapi.h"
#include "platform/testing/child_process.h"
#include "platform/text.h"
#include "platform/win32_handles.h"
#include "support/test_support.h"

namespace {

class FindWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CorekitTestWindow";
    ::RegisterClassW(&wc);
    window.reset(::CreateWindowExW(0, L"CorekitTestWindow", L"Corekit Test Title", WS_OVERLAPPEDWINDOW, 0, 0,
                                   100, 100, nullptr, nullptr, wc.hInstance, nullptr));
    ASSERT_TRUE(window);
  }

  static DWORD Owner(HWND w) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    return pid;
  }

  nv::win32::UniqueWindow window;
  const DWORD self = ::GetCurrentProcessId();
  const std::string image = std::filesystem::u8path(nv::testing::SelfPath()).filename().u8string();
  CPSAPI psapi;
};

TEST_F(FindWindowTest, ByClassAndTitleWithoutCase) {
  EXPECT_EQ(psapi.FindWindowX("corekittestwindow", "CORekit test title", self), window.get());
  EXPECT_EQ(psapi.FindWindowX("CorekitTestWindow", "Other title", self), nullptr);
  EXPECT_EQ(psapi.FindWindowX("CorekitTestWindow", self), window.get());
  EXPECT_EQ(psapi.FindWindowX("NoSuchClass", self), nullptr);
  EXPECT_EQ(psapi.FindWindowX("CorekitTestWindow", self + 1), nullptr) << "another process's windows only";
}

TEST_F(FindWindowTest, ByProcess) {
  HWND first = psapi.FindWindowX(self);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Owner(first), self);
  EXPECT_EQ(psapi.FindWindowX(0xFFFFFFF1ul), nullptr) << "no such process, no window";
}

TEST_F(FindWindowTest, ByImageNameBareOrWithFolder) {
  HWND found = psapi.FindWindowX(image);
  ASSERT_NE(found, nullptr) << image;
  EXPECT_EQ(Owner(found), self);
  EXPECT_EQ(psapi.FindWindowX(nv::text::ToUpperAscii(image)), found);
  EXPECT_EQ(psapi.CompProcName(image, "C:\\Program Files\\Tarn\\" + image, self), found);
  EXPECT_EQ(psapi.CompProcName("Updagent.exe", image, self), nullptr);
  EXPECT_EQ(psapi.FindWindowX("corekit-no-such-image.exe"), nullptr);
}

}  // namespace
