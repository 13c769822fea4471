// The uninstaller's two phases against a fake system and service manager, on the registry
// (natively a store of the test's own; under Wine scratch keys of this process).
#include <gtest/gtest.h>

#include "corekit/message_box.h"
#include "corekit/registry.h"
#include "corekit/testing/registry_sandbox.h"
#include "uninstall.h"

namespace nv::uninstall {
namespace {

const bool g_sandboxed = (corekit::testing::UseTemporaryRegistryStore(), true);

class FakeSystem : public UninstallSystem {
 public:
  bool nt = true;
  uint32_t runError = 0;
  std::string desktop = "C:\\Desktop";
  std::vector<std::string> deleted;
  std::string program, commandLine;
  uint32_t waited = 0;
  int redraws = 0, restarts = 0;

  bool IsNtFamily() override { return nt; }
  std::string DesktopFolder() override { return desktop; }
  void RemoveFile(const std::string& path) override { deleted.push_back(path); }
  void RedrawScreen() override { ++redraws; }
  uint32_t RunHidden(const std::string& p, const std::string& c, uint32_t waitMs) override {
    program = p;
    commandLine = c;
    waited = waitMs;
    return runError;
  }
  void Restart() override { ++restarts; }
};

// Knows the services named in `existing`; records stops and deletes by name.
class FakeServices : public corekit::ServiceControlApi {
 public:
  std::vector<std::string> existing;
  std::string stopped, deleted;

  int32_t OpenManager(uint32_t, corekit::ServiceHandle& manager) override {
    manager = this;
    return 0;
  }
  int32_t Create(corekit::ServiceHandle, const corekit::ServiceConfig&, corekit::ServiceHandle&) override {
    return 5;
  }
  int32_t Open(corekit::ServiceHandle, const std::string& name, uint32_t,
               corekit::ServiceHandle& service) override {
    for (std::string& known : existing)
      if (known == name) return service = &known, 0;
    return 1060;
  }
  int32_t Start(corekit::ServiceHandle) override { return 0; }
  int32_t Stop(corekit::ServiceHandle service) override {
    stopped += *static_cast<std::string*>(service) + " ";
    return 0;
  }
  int32_t Delete(corekit::ServiceHandle service) override {
    deleted += *static_cast<std::string*>(service) + " ";
    return 0;
  }
  void Close(corekit::ServiceHandle) override {}
  int32_t SetAccessList(corekit::ServiceHandle, const std::string&) override { return 5; }
  void ShowWaitCursor(bool) override {}
};

bool KeyExists(const std::string& path) {
  CRegistry registry;
  return registry.Connect(corekit::kHKeyLocalMachine) &&
         registry.Open(path.c_str(), CRegistry::permissionRead);
}

uint32_t Lease(const std::string& path) {
  CRegistry registry;
  uint32_t value = 0xFFFFFFFF;
  if (registry.uOpenKey(corekit::kHKeyLocalMachine, path.c_str()))
    registry.GetDoubleWordValue("LeaseTerminatesTime", value);
  return value;
}

class UninstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_boxes.clear();
    corekit::SetMessageBoxSink([this](const corekit::MessageBoxRequest& request) {
      m_boxes.push_back(request);
      return m_answer;
    });
    m_root = "SOFTWARE\\" + corekit::testing::ProcessScratchName("NvUninstTest");
    keys.productKey = m_root + "\\Tarn\\Netvane-H";
    keys.runKey = m_root + "\\Run";
    keys.runOnceKey = m_root + "\\RunOnce";
    keys.vxdKey = m_root + "\\VxD";
    keys.servicesKey = m_root + "\\Services";
  }
  void TearDown() override {
    corekit::SetMessageBoxSink({});
    corekit::testing::DeleteTree(corekit::kHKeyLocalMachine, m_root);
  }

  void WriteProductKey(const std::string& bindPath1, const std::string& bindPath2) {
    CRegistry product;
    ASSERT_TRUE(product.Connect(corekit::kHKeyLocalMachine));
    ASSERT_TRUE(product.Create(keys.productKey.c_str()));
    ASSERT_TRUE(product.SetStringValue("InstalledPath", "C:\\Program Files\\Netvane"));
    ASSERT_TRUE(product.SetStringValue("szBindPath1", bindPath1));
    ASSERT_TRUE(product.SetStringValue("szBindPath2", bindPath2));
    ASSERT_TRUE(product.Create((keys.productKey + "\\Printers\\A").c_str()));
  }
  // `name` below the scratch services key: "TcpIp\Parameters\Interfaces\{..}" and its kin.
  std::string MakeAdapterKey(const std::string& name, uint32_t lease) {
    const std::string path = keys.servicesKey + "\\" + name;
    CRegistry adapter;
    EXPECT_TRUE(adapter.Connect(corekit::kHKeyLocalMachine));
    EXPECT_TRUE(adapter.Create(path.c_str()));
    EXPECT_TRUE(adapter.SetDoubleWordValue("LeaseTerminatesTime", lease));
    return path;
  }

  UninstallKeys keys;
  FakeSystem system;
  FakeServices services;
  std::vector<corekit::MessageBoxRequest> m_boxes;
  int m_answer = 7;
  std::string m_root;
};

TEST_F(UninstallTest, FirstPhaseRemovesEveryTraceTheProductLeft) {
  const std::string first = MakeAdapterKey("TcpIp\\Parameters\\Interfaces\\{1F2E}", 123456);
  const std::string second = MakeAdapterKey("E100B1\\TcpIp\\Parameters", 654321);
  const std::string unlisted = MakeAdapterKey("E100B1\\Parameters\\TcpIp", 42);
  // A recorded path that names another key: not written.
  const std::string elsewhere = MakeAdapterKey("Other\\Key", 77);
  const struct {
    const char* what;
    bool productKey;
    std::string bindPath1, bindPath2;
    uint32_t runError;
    std::string program;      // run with "NvSVC.EXE -u"; empty: not run
    std::string box;          // the one message shown; empty: none
    std::string deletedHere;  // services deleted in-process
    uint32_t firstLease, secondLease;
  } cases[] = {
      {"installed product", true, first, second, 0, "C:\\Program Files\\Netvane\\NvSVC.EXE", "", "Rgateii ",
       0, 0},
      {"szBindPath1 empty", true, "", second, 0, "C:\\Program Files\\Netvane\\NvSVC.EXE", "", "Rgateii ",
       123456, 0},
      {"service program missing", true, first, "", 2, "C:\\Program Files\\Netvane\\NvSVC.EXE",
       "Execute Fail(2)\n(C:\\Program Files\\Netvane\\NvSVC.EXE)\n(NvSVC.EXE -u)", "NvMGR Rgateii ", 0,
       654321},
      {"product key already gone", false, "", "", 0, "", "", "NvMGR Rgateii ", 123456, 654321},
      {"a recorded path outside the adapters' TCP/IP keys", true, elsewhere, second, 0,
       "C:\\Program Files\\Netvane\\NvSVC.EXE", "", "Rgateii ", 123456, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& [path, lease] : {std::pair{first, 123456u}, {second, 654321u}}) {
      CRegistry adapter;
      ASSERT_TRUE(adapter.uOpenKey(corekit::kHKeyLocalMachine, path.c_str()));
      ASSERT_TRUE(adapter.SetDoubleWordValue("LeaseTerminatesTime", lease));
    }
    if (c.productKey) WriteProductKey(c.bindPath1, c.bindPath2);
    system = FakeSystem();
    system.runError = c.runError;
    services = FakeServices();
    services.existing = {"NvMGR", "Rgateii"};
    m_boxes.clear();

    EXPECT_EQ(UninstallFirstPhase(system, services, keys), 0);

    EXPECT_EQ(system.deleted, std::vector<std::string>{"C:\\Desktop\\Netvane.LNK"});
    EXPECT_EQ(system.redraws, 1);
    EXPECT_EQ(system.program, c.program);
    if (!c.program.empty()) {
      EXPECT_EQ(system.commandLine, "NvSVC.EXE -u");
      EXPECT_EQ(system.waited, 60000u);
    }
    ASSERT_EQ(m_boxes.size(), c.box.empty() ? 0u : 1u);
    if (!c.box.empty()) {
      EXPECT_EQ(m_boxes[0].text, c.box);
    }
    EXPECT_EQ(services.deleted, c.deletedHere);
    EXPECT_EQ(Lease(first), c.firstLease);
    EXPECT_EQ(Lease(second), c.secondLease);
    EXPECT_EQ(Lease(unlisted), 42u);
    EXPECT_EQ(Lease(elsewhere), 77u);
    EXPECT_FALSE(KeyExists(keys.productKey));
  }
}

TEST(UninstallScope, OnlyTheAdaptersTcpIpKeysTakeLeaseValues) {
  const std::string services = "SYSTEM\\CurrentControlSet\\Services";
  const struct {
    std::string path;
    bool adapter;
  } cases[] = {
      {services + "\\Tcpip\\Parameters\\Interfaces\\{4D36E972-E325-11CE}", true},
      {"system\\currentcontrolset\\services\\TCPIP\\PARAMETERS\\INTERFACES\\{4D36}", true},
      {services + "\\E100B1\\Parameters\\TcpIp", true},
      {services + "\\E100B1\\TcpIp\\Parameters", true},
      {services + "\\Tcpip\\Parameters", false},
      {services + "\\Tcpip\\Parameters\\Interfaces", false},
      {services + "\\Tcpip\\Parameters\\Interfaces\\{4D36}\\More", false},
      {services + "\\NvMGR", false},
      {services + "\\E100B1\\Parameters", false},
      {services + "\\..\\Control\\TcpIp\\Parameters", false},
      {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", false},
      {"SYSTEM\\CurrentControlSet\\ServicesX\\E100B1\\TcpIp\\Parameters", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsAdapterTcpIpKey(c.path, services), c.adapter) << c.path;
}

TEST_F(UninstallTest, FirstPhaseOnThe95FamilyDropsTheDhcpKeyInstead) {
  WriteProductKey("", "");
  CRegistry dhcp;
  ASSERT_TRUE(dhcp.Connect(corekit::kHKeyLocalMachine));
  ASSERT_TRUE(dhcp.Create((keys.vxdKey + "\\DHCP\\DhcpInfo00").c_str()));
  ASSERT_TRUE(dhcp.Create((keys.vxdKey + "\\VNETSUP").c_str()));
  system.nt = false;
  services.existing = {"NvMGR", "Rgateii"};

  EXPECT_EQ(UninstallFirstPhase(system, services, keys), 0);
  EXPECT_FALSE(KeyExists(keys.vxdKey + "\\DHCP"));
  EXPECT_TRUE(KeyExists(keys.vxdKey + "\\VNETSUP"));
  EXPECT_EQ(system.program, "");
  EXPECT_EQ(services.deleted, "");
  EXPECT_FALSE(KeyExists(keys.productKey));
}

TEST_F(UninstallTest, SecondPhaseDropsTheRunValuesAndRestartsOnlyOnYes) {
  for (const int answer : {7, 6}) {
    SCOPED_TRACE(answer);
    // The Run entry, and the logon helper the tray program names in RunOnce when it ends.
    CRegistry run, runOnce;
    for (CRegistry* key : {&run, &runOnce}) {
      ASSERT_TRUE(key->Connect(corekit::kHKeyLocalMachine));
      ASSERT_TRUE(key->Create((key == &run ? keys.runKey : keys.runOnceKey).c_str()));
      ASSERT_TRUE(key->SetStringValue("Netvane (Only Railgate)", "C:\\Netvane\\LDNvChng.EXE"));
      ASSERT_TRUE(key->SetStringValue("Other", "C:\\Other.exe"));
    }
    m_answer = answer;
    m_boxes.clear();
    system = FakeSystem();
    int owner = 0;

    EXPECT_EQ(UninstallSecondPhase(system, &owner, keys), 0);

    for (CRegistry* key : {&run, &runOnce}) {
      std::string value;
      EXPECT_FALSE(key->GetStringValue("Netvane (Only Railgate)", value));
      EXPECT_TRUE(key->GetStringValue("Other", value));
    }
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].caption, "Uninstallation Complete !!");
    EXPECT_EQ(m_boxes[0].text, "Please save your work and close all applications.\n\nReboot system now ?");
    EXPECT_EQ(m_boxes[0].owner, &owner);
    EXPECT_EQ(m_boxes[0].type & 0x0F, corekit::kMbYesNo);
    EXPECT_EQ(m_boxes[0].unattendedAnswer, 7) << "an unattended run must not restart";
    EXPECT_EQ(system.restarts, answer == 6 ? 1 : 0);
  }
}

}  // namespace
}  // namespace nv::uninstall
