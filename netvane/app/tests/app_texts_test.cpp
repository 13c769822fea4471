#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app_texts.h"
#include "corekit/ini_file.h"
#include "corekit/resource_strings.h"
#include "tray_menu.h"

namespace fs = std::filesystem;

namespace {

// A string file in a scratch folder, and built-in texts standing in for the resource library.
class StringFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("nvtexts-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    for (unsigned id = 1; id <= 43; ++id) builtIn_.Set(id, "res" + std::to_string(id));
    SetStringSource(&builtIn_);
  }
  void TearDown() override {
    SetStringSource(nullptr);
    fs::remove_all(dir_);
  }

  void Load(const std::string& text) {
    const fs::path path = dir_ / "NetvaneENG.ini";
    std::ofstream(path, std::ios::binary) << text;
    file_.SetPath(path.u8string());
    file_.Reset();
    file_.ReadFile();
  }

  fs::path dir_;
  CStringTable builtIn_;
  CIniFile file_;
};

TEST(StringFilePathTest, InstallationFolderAndLanguageCode) {
  EXPECT_EQ(nv::app::StringFilePath("C:\\Net", "KOR"), "C:\\Net\\NetvaneKOR.ini");
  EXPECT_EQ(nv::app::StringFilePath("D:\\Program Files\\Netvane", "ENG"),
            "D:\\Program Files\\Netvane\\NetvaneENG.ini");
  // Without an installation folder there is no file to read (not the root of the current drive).
  EXPECT_EQ(nv::app::StringFilePath("", "ENG"), "");
}

TEST_F(StringFileTest, CommonTextsComeFromTheFileElseFromTheResources) {
  Load("[Netvane]\nFontFaceName=Gulim\n[CommonStr]\nszNetA=Inside\nszNetB=\nszSave=Keep\n");
  const nv::app::CommonTexts t = nv::app::ReadCommonTexts(file_);
  EXPECT_EQ(t.FontFaceName, "Gulim");
  EXPECT_EQ(t.szNetA, "Inside");
  EXPECT_EQ(t.szNetB, "res11");  // present but empty: the resource text
  EXPECT_EQ(t.szSave, "Keep");
  EXPECT_EQ(t.szCancel, "res26");
  EXPECT_EQ(t.szClose, "res16");
  EXPECT_EQ(t.szEnable, "res33");
  EXPECT_EQ(t.szDisable, "res32");
  EXPECT_EQ(t.szAdd, "res40");
  EXPECT_EQ(t.szApply, "res41");
  EXPECT_EQ(t.szDelete, "res42");
  EXPECT_EQ(t.szRead, "res43");
}

TEST_F(StringFileTest, MissingOrMalformedFileGivesTheResourceTexts) {
  static const char kBroken[] = "\xff\xfe[[CommonStr\nszNetA\n=\n\0\0garbage=\x80\x81\n[";
  const std::string broken(kBroken, sizeof kBroken - 1);
  for (const std::string& text : {std::string(), broken}) {
    SCOPED_TRACE(text.empty() ? "no file" : "malformed file");
    if (text.empty()) {
      file_.SetPath((dir_ / "NetvaneXYZ.ini").u8string());
      file_.Reset();
      EXPECT_FALSE(file_.ReadFile());
    } else {
      Load(text);
    }
    const nv::app::CommonTexts t = nv::app::ReadCommonTexts(file_);
    EXPECT_EQ(t.szNetA, "res10");
    EXPECT_EQ(t.FontFaceName, "res19");
  }
}

TEST_F(StringFileTest, TrayMenuHasSevenCommandsWithChangeAsDefault) {
  Load("[PopupINF]\nstrMnChange=Switch network\nstrMnExit=Quit\n");
  const auto menu = nv::app::ReadTrayMenu(file_);
  struct Expected {
    unsigned command;
    const char* text;
  };
  const Expected expected[] = {{5001, "res1"}, {5002, "res7"}, {0, ""},        {5003, "Switch network"},
                               {0, ""},        {5004, "res2"}, {5005, "res4"}, {5006, "res5"},
                               {0, ""},        {5007, "Quit"}};
  ASSERT_EQ(menu.size(), std::size(expected));
  for (size_t i = 0; i < menu.size(); ++i) {
    SCOPED_TRACE("position " + std::to_string(i));
    EXPECT_EQ(menu[i].command, expected[i].command);
    EXPECT_EQ(menu[i].text, expected[i].text);
  }
  EXPECT_EQ(menu[nv::app::kDefaultMenuPosition].command, 5003u);
}

}  // namespace
