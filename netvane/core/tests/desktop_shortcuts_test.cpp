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
  const std::string spare = kDesk + "\\INTERNET (Netvane).LNK", spare2 = kDesk + "\\INTERNET (Netvane 2).LNK";
  const std::string notes = kDesk + "\\Notes.lnk";
  using Files = std::map<std::string, std::string>;
  struct Case {
    const char* what;
    Files before;
    Files others;  // files that are not links to a file: never touched
    bool listFails;
    ShortcutChange result;
    Files after;
  } cases[] = {
      {"A's link renamed",
       {{a, kOurs}, {notes, kOther}},
       {},
       false,
       ShortcutChange::Renamed,
       {{b, kOurs}, {notes, kOther}}},
      {"target compared without case",
       {{a, "c:\\program files\\NETVANE\\ldnvchng.exe"}},
       {},
       false,
       ShortcutChange::Renamed,
       {{b, "c:\\program files\\NETVANE\\ldnvchng.exe"}}},
      {"right link there, name in other case",
       {{kDesk + "\\internet.lnk", kOurs}},
       {},
       false,
       ShortcutChange::AlreadyThere,
       {{kDesk + "\\internet.lnk", kOurs}}},
      {"no link of ours: one made",
       {{notes, kOther}},
       {},
       false,
       ShortcutChange::Created,
       {{b, kOurs}, {notes, kOther}}},
      {"another program's link at the name stays; ours takes the spare name",
       {{b, kOther}, {a, kOurs}},
       {},
       false,
       ShortcutChange::Renamed,
       {{b, kOther}, {spare, kOurs}}},
      {"another program's link at the name, none of ours: one made beside it",
       {{b, kOther}},
       {},
       false,
       ShortcutChange::Created,
       {{b, kOther}, {spare, kOurs}}},
      {"a plain file at the name stays",
       {{a, kOurs}},
       {{kDesk + "\\Internet.lnk", "plain"}},
       false,
       ShortcutChange::Renamed,
       {{spare, kOurs}}},
      {"the spare name taken too",
       {{a, kOurs}},
       {{b, "plain"}, {kDesk + "\\internet (netvane).lnk", "x"}},
       false,
       ShortcutChange::Renamed,
       {{spare2, kOurs}}},
      {"ours at the spare name is kept while the name is taken",
       {{spare, kOurs}, {b, kOther}},
       {},
       false,
       ShortcutChange::AlreadyThere,
       {{spare, kOurs}, {b, kOther}}},
      {"two of ours: one renamed, the other deleted",
       {{a, kOurs}, {old, kOurs}},
       {},
       false,
       ShortcutChange::Renamed,
       {{b, kOurs}}},
      {"ours at the name and another of ours: the other deleted",
       {{b, kOurs}, {old, kOurs}},
       {},
       false,
       ShortcutChange::AlreadyThere,
       {{b, kOurs}}},
      {"folder not listed: one made",
       {{a, kOurs}},
       {},
       true,
       ShortcutChange::Created,
       {{a, kOurs}, {b, kOurs}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeDesktopLinks links;
    links.links = c.before;
    links.files = c.others;
    links.listFails = c.listFails;
    EXPECT_EQ(ChangeShortcut(links, kInstall, "INTERNET"), c.result);
    EXPECT_EQ(links.links, c.after);
    EXPECT_EQ(links.files, c.others);
    // A second call for the same network finds its link and leaves one of ours.
    links.listFails = false;
    links.calls.clear();
    EXPECT_EQ(ChangeShortcut(links, kInstall, "INTERNET"), ShortcutChange::AlreadyThere);
    int ours = 0;
    for (const auto& [path, target] : links.links) ours += target == kOther ? 0 : 1;
    EXPECT_EQ(ours, 1);
    EXPECT_EQ(links.files, c.others);
    if (!c.listFails) {
      EXPECT_EQ(links.links, c.after);
    }
  }
}

TEST(ChangeShortcut, EveryNameTakenByOthersMakesNothingAndTouchesNothing) {
  FakeDesktopLinks links;
  const std::string a = kDesk + "\\INTRANET.LNK";
  links.links = {{a, kOurs}};
  links.files[kDesk + "\\INTERNET.LNK"] = "plain";
  for (const std::string& spare : SpareLinkPaths(kDesk, "INTERNET")) links.files[spare] = "plain";
  const auto files = links.files;
  EXPECT_EQ(ChangeShortcut(links, kInstall, "INTERNET"), ShortcutChange::Failed);
  EXPECT_EQ(links.files, files);
  EXPECT_EQ(links.links, (std::map<std::string, std::string>{{a, kOurs}}));
}

// Another program's "Outside.lnk" and a link to a shell folder called "Inside.lnk" on the desktop:
// changes A -> B -> A leave both as they were and one link of ours named after the network.
TEST(ChangeShortcut, ForeignFilesAtBothNetworksNamesSurviveChangesBackAndForth) {
  FakeDesktopLinks links;
  const std::string outside = kDesk + "\\Outside.lnk", inside = kDesk + "\\Inside.lnk";
  links.links = {{outside, kOther}};
  links.foreignLinks = {{inside, "a link to My Computer"}};
  const auto foreign = links.foreignLinks;
  const struct {
    const char* network;
    const char* ours;
  } changes[] = {{"Inside", "Inside (Netvane).LNK"},
                 {"Outside", "Outside (Netvane).LNK"},
                 {"Inside", "Inside (Netvane).LNK"}};
  for (const auto& change : changes) {
    SCOPED_TRACE(change.network);
    EXPECT_NE(ChangeShortcut(links, kInstall, change.network), ShortcutChange::Failed);
    EXPECT_EQ(links.foreignLinks, foreign);
    EXPECT_EQ(links.links,
              (std::map<std::string, std::string>{{outside, kOther}, {kDesk + "\\" + change.ours, kOurs}}));
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
