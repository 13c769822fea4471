// The portable rules of the update client: command line, version list, selection, server texts
// and FTP listing lines.
#include "version_list.h"

#include <gtest/gtest.h>

#include <map>

#include "client_arguments.h"
#include "ftp_listing.h"
#include "platform/text.h"
#include "update_selection.h"
#include "update_settings.h"

namespace nv::updater {
namespace {

ListContext XpContext() {
  ListContext c;
  c.versionName = "WINXP";
  c.windowsDir = "C:\\WINDOWS";
  c.systemDir = "C:\\WINDOWS\\system32";
  c.installedPath = "C:\\Program Files\\Netvane";
  c.style = PathStyle::kWindows;
  return c;
}

TEST(VersionList, EachLineTakenOrSkippedByItsFields) {
  const struct {
    const char* line;
    const char* target;  // nullptr: the line yields no entry
    const char* remote;
    const char* flags;
    bool force;
  } cases[] = {
      {"Netvane.exe|ALL|ALL|INSTALLEDPATH|1.2.3", "C:\\Program Files\\Netvane\\Netvane.exe", "Netvane.exe",
       "", false},
      {"  a.dll | all | All |  | 1.2.3 | Restart | true | none ", "C:\\Program Files\\Netvane\\a.dll",
       "a.dll", "Restart", true},
      {"b.dll|ALL|ALL|SYSDIR|1.0.0", "C:\\WINDOWS\\system32\\b.dll", "b.dll", "", false},
      {"c.hlp|ALL|ALL|windir\\help|1.0.0", "C:\\WINDOWS\\HELP\\c.hlp", "c.hlp", "", false},
      {"d.sys|ALL|WIN98,WINXP|D:\\Drivers|1.0.0", "D:\\DRIVERS\\d.sys", "d.sys", "", false},
      {"e.dll|ALL|ALL||1.0.0|SVC:NvMGR|FALSE|WINXP", "C:\\Program Files\\Netvane\\e.dll", "e.dll.WINXP",
       "SVC:NvMGR", false},
      {"f.dll|ALL|ALL||1.0.0||||", "C:\\Program Files\\Netvane\\f.dll", "f.dll", "", false},
      {"# Netvane.exe|ALL|ALL||1.2.3", nullptr, nullptr, nullptr, false},
      {"g.dll|ALL|WIN98||1.0.0", nullptr, nullptr, nullptr, false},
      {"g.dll|ACME|ALL||1.0.0", nullptr, nullptr, nullptr, false},
      {"g.dll|ALL|ALL||1.0.0||FALSE|WIN98", nullptr, nullptr, nullptr, false},
      {"g.dll|ALL|ALL|1.0.0", nullptr, nullptr, nullptr, false},
      // Names and targets that could place a file elsewhere.
      {"..\\..\\x.exe|ALL|ALL||1.0.0", nullptr, nullptr, nullptr, false},
      {"../x.exe|ALL|ALL||1.0.0", nullptr, nullptr, nullptr, false},
      {"sub\\x.exe|ALL|ALL||1.0.0", nullptr, nullptr, nullptr, false},
      {"C:x.exe|ALL|ALL||1.0.0", nullptr, nullptr, nullptr, false},
      {"C:\\x.exe|ALL|ALL||1.0.0", nullptr, nullptr, nullptr, false},
      {"NUL|ALL|ALL||1.0.0", nullptr, nullptr, nullptr, false},
      {"x.exe|ALL|ALL|WINDIR\\..\\..|1.0.0", nullptr, nullptr, nullptr, false},
      {"x.exe|ALL|ALL|relative\\dir|1.0.0", nullptr, nullptr, nullptr, false},
      {"x.exe|ALL|ALL|\\\\?\\C:\\x|1.0.0", nullptr, nullptr, nullptr, false},
      {"x.exe|ALL|ALL||1.0.0||||not-a-hash", nullptr, nullptr, nullptr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const VersionList list = ParseVersionList(c.line, XpContext());
    if (!c.target) {
      EXPECT_TRUE(list.entries.empty());
      continue;
    }
    ASSERT_EQ(list.entries.size(), 1u);
    EXPECT_EQ(list.entries[0].targetPath, c.target);
    EXPECT_EQ(list.entries[0].remoteName, c.remote);
    EXPECT_EQ(list.entries[0].flags, c.flags);
    EXPECT_EQ(list.entries[0].force, c.force);
  }
}

TEST(VersionList, RefusedLinesAreTracedAndTheRestIsKept) {
  const std::string hash(64, 'A');
  const std::string text = "\r\n..\\..\\x.exe|ALL|ALL||1.0.0\r\nok.exe|ALL|ALL||2.10.7|||NONE|" + hash +
                           "\r\nbad|ALL\r\nlast.exe|ALL|ALL||1\n";
  const VersionList list = ParseVersionList(text, XpContext());
  ASSERT_EQ(list.entries.size(), 2u);
  EXPECT_EQ(list.entries[0].version, (FileVersion{2, 10, 7}));
  EXPECT_EQ(list.entries[0].sha256, std::string(64, 'a'));
  EXPECT_EQ(list.entries[1].version, (FileVersion{1, 0, 0}));
  EXPECT_EQ(list.rejected.size(), 2u);
}

TEST(VersionList, ByteOrderMarkAndTextOutsideUtf8) {
  // A list saved with a byte-order mark: the first name is the file's, not the mark's.
  const VersionList marked = ParseVersionList("\xEF\xBB\xBFNetvane.exe|ALL|ALL||1.2.3\r\n", XpContext());
  ASSERT_EQ(marked.entries.size(), 1u);
  EXPECT_EQ(marked.entries[0].fileName, "Netvane.exe");
  // A UTF-8 folder name stays as it is.
  const VersionList korean =
      ParseVersionList("a.dll|ALL|ALL|C:\\\xED\x95\x9C\xEA\xB8\x80|1.0.0\r\n", XpContext());
  ASSERT_EQ(korean.entries.size(), 1u);
  EXPECT_EQ(korean.entries[0].targetPath, "C:\\\xED\x95\x9C\xEA\xB8\x80\\a.dll");
  // The same folder in code page 949 (an editor's default on a Korean system).
  const std::string legacyLine = "a.dll|ALL|ALL|C:\\\xC7\xD1\xB1\xDB|1.0.0\r\n";
  const VersionList legacy = ParseVersionList(legacyLine, XpContext());
#ifdef _WIN32
  // Read in the ANSI code page, whatever it is, never as raw bytes.
  ASSERT_EQ(legacy.entries.size(), 1u) << ::testing::PrintToString(legacy.rejected);
  EXPECT_EQ(legacy.entries[0].targetPath, "C:\\" + nv::text::AnsiToUtf8("\xC7\xD1\xB1\xDB") + "\\a.dll");
  EXPECT_TRUE(nv::text::IsValidUtf8(legacy.entries[0].targetPath));
#else
  // No ANSI code page natively: a folder that cannot be represented is refused, and said so.
  EXPECT_TRUE(legacy.entries.empty());
  ASSERT_EQ(legacy.rejected.size(), 1u);
  EXPECT_NE(legacy.rejected[0].find("target folder is not a safe absolute path"), std::string::npos);
#endif
  // Names no Windows file can have are refused.
  const VersionList bad =
      ParseVersionList("a?.dll|ALL|ALL||1.0.0\nb\xEF\xBF\xBD.dll|ALL|ALL||1.0.0\n", XpContext());
  EXPECT_TRUE(bad.entries.empty());
  EXPECT_EQ(bad.rejected.size(), 2u);
}

TEST(VersionList, AtMostFiftyEntriesAndAClientCodeOnlyWhenSet) {
  std::string text;
  for (int i = 0; i < 55; ++i) text += "f" + std::to_string(i) + ".dll|ALL|ALL||1.0.0\n";
  text += "acme.dll|ACME,OTHER|ALL||1.0.0\n";
  EXPECT_EQ(ParseVersionList(text, XpContext()).entries.size(), 50u);
  ListContext acme = XpContext();
  acme.clientCode = "ACME";
  const VersionList list = ParseVersionList("acme.dll|ACME,OTHER|ALL||1.0.0\n", acme);
  ASSERT_EQ(list.entries.size(), 1u);
  EXPECT_TRUE(ParseVersionList("acme.dll|ACME,OTHER|ALL||1.0.0\n", XpContext()).entries.empty());
}

class TableVersions final : public IFileVersionReader {
 public:
  std::map<std::string, FileVersion> installed;
  FileVersion Read(const std::string& path) noexcept override {
    const auto it = installed.find(path);
    return it == installed.end() ? FileVersion{} : it->second;
  }
};

TEST(VersionList, SelectionTakesOlderMissingAndForcedFiles) {
  const VersionList list = ParseVersionList(
      "older.exe|ALL|ALL|C:\\N|1.2.3|||NONE\n"
      "same.exe|ALL|ALL|C:\\N|1.2.3|||NONE\n"
      "newer.exe|ALL|ALL|C:\\N|1.2.3\n"
      "forced.exe|ALL|ALL|C:\\N|1.2.3||TRUE\n"
      "missing.exe|ALL|ALL|C:\\N|0.0.1\n"
      "minor.exe|ALL|ALL|C:\\N|1.10.0\n",
      XpContext());
  TableVersions versions;
  versions.installed = {{"C:\\N\\older.exe", {1, 2, 2}},
                        {"C:\\N\\same.exe", {1, 2, 3}},
                        {"C:\\N\\newer.exe", {2, 0, 0}},
                        {"C:\\N\\forced.exe", {9, 9, 9}},
                        {"C:\\N\\minor.exe", {1, 9, 99}}};
  std::vector<std::string> names;
  for (const auto& e : SelectUpdates(list.entries, versions)) names.push_back(e.fileName);
  EXPECT_EQ(names, (std::vector<std::string>{"older.exe", "forced.exe", "missing.exe", "minor.exe"}));
}

TEST(VersionList, VersionTextsOfFiles) {
  const struct {
    const char* text;
    bool valid;
    FileVersion version;
  } cases[] = {
      {"1.2.3.4", true, {1, 2, 3}},
      {"1, 2, 3, 4", true, {1, 2, 3}},
      {"5,6,7", true, {5, 6, 7}},
      {"1.2", false, {}},
      {"", false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    FileVersion v;
    EXPECT_EQ(ParseVersionText(c.text, v), c.valid);
    if (c.valid) {
      EXPECT_EQ(v, c.version);
    }
  }
}

TEST(ClientRules, CommandLineServerTextsAndListingLines) {
  const auto args = ParseClientArguments({"Tarn", "Netvane-H", "123456l", "5007", "C:\\N\\Netvane.exe"});
  ASSERT_TRUE(args);
  EXPECT_EQ(args->trayWindow, 123456u);
  EXPECT_EQ(args->exitCommand, 5007);
  EXPECT_FALSE(ParseClientArguments({"Tarn", "Netvane-H", "1l", "5007"}));
  EXPECT_FALSE(ParseClientArguments({"Tarn", "Netvane-H", "1l", "5007", "x", "y"}));

  const ServerDefaults d;
  const struct {
    const char* text;
    ServerEndpoint endpoint;
  } servers[] = {
      {"", {d.address, "anonymous", d.anonymousPassword}},
      {"ftp.example.org", {d.address, "anonymous", d.anonymousPassword}},
      {"bob:ftp.example.org", {"ftp.example.org", "bob", ""}},
      {"bob:secret:ftp.example.org", {"ftp.example.org", "bob", "secret"}},
      {"bob:se:cret:10.0.0.1", {"10.0.0.1", "bob", "se:cret"}},
  };
  for (const auto& s : servers) {
    SCOPED_TRACE(s.text);
    EXPECT_EQ(EndpointFromText(s.text, d), s.endpoint);
  }

  const struct {
    const char* line;
    const char* name;
    uint64_t size;
  } listings[] = {
      {"-rw-r--r--   1 owner    group        5100 Dec 08 22:10 Netvane.exe", "Netvane.exe", 5100},
      {"-rw-r--r-- 1 0 0 12 Jan  1  2024 name with blanks.txt", "name with blanks.txt", 12},
      {"12-08-26  10:10PM                 2048 NvRes.dll", "NvRes.dll", 2048},
      {"drwxr-xr-x   2 owner    group        4096 Dec 08 22:10 sub", nullptr, 0},
      {"12-08-26  10:10PM       <DIR>          sub", nullptr, 0},
      {"total 8", nullptr, 0},
  };
  for (const auto& l : listings) {
    SCOPED_TRACE(l.line);
    const auto item = ParseListLine(l.line);
    ASSERT_EQ(item.has_value(), l.name != nullptr);
    if (!item) continue;
    EXPECT_EQ(item->name, l.name);
    EXPECT_EQ(item->size, l.size);
  }
}

}  // namespace
}  // namespace nv::updater
