// The update client's registry: server list as the editor writes it and the dialog reads it, the
// last server, "cwd" and the update key.  Natively in a scratch store; under Wine below a product
// key of this process's own.
#include "update_settings.h"

#include <gtest/gtest.h>

#include "corekit/registry.h"
#include "corekit/testing/registry_sandbox.h"

namespace nv::updater {
namespace {

const bool g_sandboxed = (corekit::testing::UseTemporaryRegistryStore(), true);

class UpdateSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(g_sandboxed); }
  void TearDown() override {
    corekit::testing::DeleteTree(corekit::kHKeyLocalMachine, "Software\\" + m_maker);
  }
  std::string m_maker = corekit::testing::ProcessScratchName("NvUpdTest");
  CUpdateSettings m_settings{ProductKeyPath(m_maker, "Netvane-H")};
};

TEST_F(UpdateSettingsTest, EditorListRoundTripsAndDeletedServersLeaveNothing) {
  m_settings.EnsureKeys();
  EXPECT_TRUE(m_settings.ServerNames().empty());
  EXPECT_EQ(m_settings.LastServerName(), "TARN");
  EXPECT_EQ(m_settings.UpdatePublicKey(), "");

  ASSERT_TRUE(m_settings.SaveServers(
      {{"main", "bob", "se:cret", "10.0.0.1"}, {"BACKUP", "anonymous", "", "ftp.example"}}));
  EXPECT_EQ(m_settings.ServerNames(), (std::vector<std::string>{"MAIN", "BACKUP"}));
  EXPECT_EQ(m_settings.ServerNameAt(1), "MAIN");
  EXPECT_EQ(m_settings.ServerNameAt(0), "");
  EXPECT_EQ(m_settings.ServerTextOf("MAIN"), "bob:se:cret:10.0.0.1");
  EXPECT_EQ(EndpointFromText(m_settings.ServerTextOf(m_settings.ServerNameAt(2)), {}),
            (ServerEndpoint{"ftp.example", "anonymous", ""}));
  const auto loaded = m_settings.LoadServers();
  ASSERT_EQ(loaded.size(), 2u);
  EXPECT_EQ(loaded[0].password, "se:cret");

  ASSERT_TRUE(m_settings.SaveServers({{"BACKUP", "anonymous", "", "ftp.example"}}));
  EXPECT_EQ(m_settings.ServerNames(), std::vector<std::string>{"BACKUP"});
  EXPECT_EQ(m_settings.ServerTextOf("MAIN"), "");
  EXPECT_EQ(m_settings.ServerNameAt(2), "");

  m_settings.SetLastServerName("BACKUP");
  m_settings.SetCwd("C:\\Netvane");
  EXPECT_EQ(m_settings.LastServerName(), "BACKUP");
  CRegistry reg;
  std::string cwd;
  ASSERT_TRUE(reg.uOpenKey(corekit::kHKeyLocalMachine, (m_settings.productKeyPath() + "\\Update").c_str()));
  EXPECT_TRUE(reg.GetValue("cwd", cwd));
  EXPECT_EQ(cwd, "C:\\Netvane");
  EXPECT_TRUE(reg.SetValue(kUpdatePublicKeyValue, std::string("04ab")));
  EXPECT_EQ(m_settings.UpdatePublicKey(), "04ab");
}

TEST_F(UpdateSettingsTest, ACountWrittenAsTextIsRead) {
  CRegistry reg;
  ASSERT_TRUE(reg.Connect(corekit::kHKeyLocalMachine));
  ASSERT_TRUE(reg.Create((m_settings.productKeyPath() + "\\Update\\Server").c_str()));
  ASSERT_TRUE(reg.SetValue("1", std::string("HAND")));
  ASSERT_TRUE(reg.Create((m_settings.productKeyPath() + "\\Update\\ServerNum").c_str()));
  ASSERT_TRUE(reg.SetValue("Count", std::string("1")));
  EXPECT_EQ(m_settings.ServerNames(), std::vector<std::string>{"HAND"});
}

}  // namespace
}  // namespace nv::updater
