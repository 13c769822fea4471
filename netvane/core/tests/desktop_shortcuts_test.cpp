#include <gtest/gtest.h>

#include "corekit/shortcut.h"
#include "netvane/desktop_links.h"
#include "support/fake_desktop_links.h"

namespace nv::core {
namespace {

using testing::FakeDesktopLinks;

const std::string kDesk = "C:\\Users\\Public\\Desktop";
const std::string kInstall = "C:\\Program Files\\Netvane";
const std::string kOurs = "C:\\Program Files\\Netvane\\LDNvChng.EXE";
const std::string kOther = "C:\\Windows\\notepad.exe";

TEST(LinkNames, TheNetworkNameBecomesASafeFileNameInTheDesktopFolder) {
  struct Case {
    std::string name, file;
  } cases[] = {
      {"INTERNET", "INTERNET"},
      {"Inside net", "Inside net"},
      {"..\\..\\Startup\\x", ".._.._Startup_x"},  // never outside the folder
      {"a/b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i"},
      {"Net B. . ", "Net B"},
      {"con", "_con"},
      {"LPT1.net", "_LPT1.net"},
      {"COM10", "COM10"},
      {"...", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LinkNameFromText(c.name), c.file);
    EXPECT_EQ(WantedLinkPath(kDesk, c.name), c.file.empty() ? "" : kDesk + "\\" + c.file + ".LNK");
  }
  EXPECT_EQ(WantedLinkPath("", "INTERNET"), "");
  EXPECT_EQ(ShortcutTarget(kInstall), kOurs);
}

TEST(ChangeShortcut, LeavesOneLinkOfOursNamedAfterTheNetwork) {
  const std::string a = kDesk + "\\INTRANET.LNK", b = kDesk + "\\INTERNET.LNK", old = kDesk + "\\OLD.LNK";
  const std::string notes = kDesk + "\\Notes.lnk";
  struct Case {
    const char* what;
    std::map<std::string, std::string> before;
    bool listFails;
    ShortcutChange result;
    std::map<std::string, std::string> after;
  } cases[] = {
      {"A's link renamed",
       {{a, kOurs}, {notes, kOther}},
       false,
       ShortcutChange::Renamed,
       {{b, kOurs}, {notes, kOther}}},
      {"target compared without case",
       {{a, "c:\\program files\\NETVANE\\ldnvchng.exe"}},
       false,
       ShortcutChange::Renamed,
       {{b, "c:\\program files\\NETVANE\\ldnvchng.exe"}}},
      {"right link there, name in other case",
       {{kDesk + "\\internet.lnk", kOurs}},
       false,
       ShortcutChange::AlreadyThere,
       {{kDesk + "\\internet.lnk", kOurs}}},
      {"no link of ours: one made",
       {{notes, kOther}},
       false,
       ShortcutChange::Created,
       {{b, kOurs}, {notes, kOther}}},
      {"a link of that name starting something else stays",
       {{b, kOther}},
       false,
       ShortcutChange::AlreadyThere,
       {{b, kOther}}},
      {"two of ours: one renamed, the other deleted",
       {{a, kOurs}, {old, kOurs}},
       false,
       ShortcutChange::Renamed,
       {{b, kOurs}}},
      {"folder not listed: one made", {{a, kOurs}}, true, ShortcutChange::Created, {{a, kOurs}, {b, kOurs}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeDesktopLinks links;
    links.links = c.before;
    links.listFails = c.listFails;
    EXPECT_EQ(ChangeShortcut(links, kInstall, "INTERNET"), c.result);
    EXPECT_EQ(links.links, c.after);
    // A second call for the same network finds its link and does nothing more.
    const auto settled = links.links;
    links.listFails = false;
    links.calls.clear();
    if (links.links.count(b) != 0 || c.result == ShortcutChange::AlreadyThere) {
      EXPECT_EQ(ChangeShortcut(links, kInstall, "INTERNET"), ShortcutChange::AlreadyThere);
      EXPECT_EQ(links.links, settled);
      EXPECT_EQ(links.calls, std::vector<std::string>{"list " + kDesk});
    }
  }
}

TEST(ChangeShortcut, NoFolderOrNoNameMakesNothing) {
  FakeDesktopLinks links;
  EXPECT_EQ(ChangeShortcut(links, kInstall, "..."), ShortcutChange::Failed);
  links.folder.clear();
  EXPECT_EQ(ChangeShortcut(links, kInstall, "INTERNET"), ShortcutChange::Failed);
  EXPECT_TRUE(links.links.empty());
  EXPECT_TRUE(links.calls.empty());
}

TEST(DeleteShortcuts, DeletesOursKeepsOthersAndRedrawsOnlyWhenOneWent) {
  FakeDesktopLinks links;
  links.links = {{kDesk + "\\INTRANET.LNK", kOurs},
                 {kDesk + "\\Stale.lnk", "C:\\PROGRAM FILES\\NETVANE\\LDNVCHNG.EXE"},
                 {kDesk + "\\Notes.lnk", kOther},
                 {kDesk + "\\Elsewhere.lnk", "D:\\Netvane\\LDNvChng.EXE"}};
  EXPECT_EQ(DeleteShortcuts(links, kInstall), 2);
  EXPECT_EQ(links.redraws, 1);
  const std::map<std::string, std::string> left{{kDesk + "\\Notes.lnk", kOther},
                                                {kDesk + "\\Elsewhere.lnk", "D:\\Netvane\\LDNvChng.EXE"}};
  EXPECT_EQ(links.links, left);

  EXPECT_EQ(DeleteShortcuts(links, kInstall), 0);
  EXPECT_EQ(links.redraws, 1);
  links.listFails = true;
  EXPECT_EQ(DeleteShortcuts(links, kInstall), 0);
  EXPECT_EQ(links.links, left);
}

}  // namespace
}  // namespace nv::core
