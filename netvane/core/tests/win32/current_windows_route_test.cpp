// On the Windows versions in use today the address renewal must take the route call and the
// version name written for major version 6.  Wine reports the version set for a program in its
// registry (as winecfg's application tab does), so this test sets one for its own file name and
// runs itself as a child under each version.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "corekit/debug.h"
#include "corekit/os_version.h"
#include "netvane/cfginfo.h"
#include "netvane/change_ip.h"
#include "nvutil/net_util.h"
#include "platform/testing/child_process.h"
#include "platform/text.h"
#include "platform/windows_api.h"

namespace fs = std::filesystem;

namespace {

// The Windows version Wine reports to programs of one file name, for as long as the object lives.
class WineVersionForProgram {
 public:
  WineVersionForProgram(const std::string& fileName, const char* version)
      : key_(std::wstring(kAppDefaults) + L"\\" + nv::text::Widen(fileName)) {
    HKEY existing = nullptr;
    createdAppDefaults_ =
        ::RegOpenKeyExW(HKEY_CURRENT_USER, kAppDefaults, 0, KEY_READ, &existing) != ERROR_SUCCESS;
    if (existing != nullptr) ::RegCloseKey(existing);
    const std::wstring value = nv::text::Widen(version);
    ok_ = ::RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), L"Version", REG_SZ, value.c_str(),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  ~WineVersionForProgram() {
    ::RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str());
    if (createdAppDefaults_) ::RegDeleteKeyW(HKEY_CURRENT_USER, kAppDefaults);
  }
  WineVersionForProgram(const WineVersionForProgram&) = delete;
  WineVersionForProgram& operator=(const WineVersionForProgram&) = delete;
  bool ok() const { return ok_; }

 private:
  static constexpr wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults";
  std::wstring key_;
  bool createdAppDefaults_ = false;
  bool ok_ = false;
};

// A network stack that changes nothing on the host: every call succeeds.
class InertStack final : public nvutil::NetStack {
 public:
  nvutil::Outcome DeleteRoutesTo(std::uint32_t) override { return {}; }
  nvutil::Outcome AddRoute(const nvutil::NewRoute&, nvutil::RouteApi) override { return {}; }
  nvutil::Outcome DeleteNeighbour(std::uint32_t, std::uint32_t) override { return {}; }
  nvutil::Outcome FindInterfaceByMac(const nvutil::MacAddress&) override { return {}; }
  nvutil::Outcome Lease(std::uint32_t, nvutil::LeaseAction) override { return {}; }
};

class IdleEmulation final : public nv::core::IDhcpEmulation {
 public:
  int DrvOpen() noexcept override { return 1; }
  int SetStartDHCP(const _uIPINFO&) noexcept override { return 1; }
  int SetEndDHCP() noexcept override { return 1; }
  int DrvClose() noexcept override { return 1; }
  std::string RemoveStale(const unsigned char (&)[6]) noexcept override { return {}; }
};

// Child role: what the tray program does for a change on one fixed address, traced to a file.
int AddDefaultRoute(const char* traceFile) {
  ::SetEnvironmentVariableW(L"NV_TRACE", L"1");
  ::SetEnvironmentVariableW(L"NV_TRACE_FILE", nv::text::Widen(traceFile).c_str());
  CDebug::reloadSettings();
  const COSversion os;
  auto net = std::make_unique<CNetUtil>(std::make_unique<InertStack>());
  net->SetTraceSink([](const std::string& line) { CDebug::dprintf("%s", line.c_str()); });
  const CCfginfo cfg;
  CChangeIP address(cfg, nv::core::OsFacts{os.m_name, os.m_osvi.dwMajorVersion}, std::move(net),
                    std::make_unique<IdleEmulation>());
  address.DelGateway();
  address.AddGateway(0x0A5C0101);
  return 0;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

constexpr char kVistaRoute[] =
    "CNetUtil::AddGWEntryVista(\"0.0.0.0\", \"0.0.0.0\", \"10.92.1.1\", null, 1): ok";
constexpr char kClassicRoute[] = "CNetUtil::AddGWEntry(\"0.0.0.0\", \"0.0.0.0\", \"10.92.1.1\", null, 1): ok";

TEST(CurrentWindows, RouteCallAndVersionNameFollowMajorVersionSix) {
  struct Case {
    const char* wineVersion;
    const char* osLine;     // COSversion's trace of what it classified
    const char* majorLine;  // the address renewal's trace of the major version it branches on
    const char* routeCall;  // the call that added the default route
  } cases[] = {
      // Wine 8.0 knows no "win11"
      {"win10", "COSversion(VISTA) 6.2 build 9200", "osversion(6)", kVistaRoute},
      {"win81", "COSversion(VISTA) 6.2 build 9200", "osversion(6)", kVistaRoute},
      {"win7", "COSversion(VISTA) 6.1 build 7601", "osversion(6)", kVistaRoute},
      {"winxp64", "COSversion(WIN2000S) 5.2 build 3790", "osversion(5)", kClassicRoute},
  };
  const std::string self = nv::testing::SelfPath();
  const std::string fileName = fs::u8path(self).filename().u8string();
  const fs::path trace =
      fs::temp_directory_path() / ("nv-current-windows-" + std::to_string(::GetCurrentProcessId()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wineVersion);
    fs::remove(trace);
    {
      WineVersionForProgram version(fileName, c.wineVersion);
      ASSERT_TRUE(version.ok());
      ASSERT_EQ(nv::testing::RunProgram({self, "--add-default-route", trace.u8string()}), 0);
    }
    const std::string lines = ReadFile(trace);
    EXPECT_NE(lines.find(c.osLine), std::string::npos) << lines;
    EXPECT_NE(lines.find(c.routeCall), std::string::npos) << lines;
    EXPECT_NE(lines.find(c.majorLine), std::string::npos) << lines;
  }
  fs::remove(trace);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--add-default-route") == 0) return AddDefaultRoute(argv[2]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
