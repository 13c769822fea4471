// CRegistry against the platform's registry: our own store natively, the real registry under
// Wine.  Every test works below a scratch key of its own under HKEY_CURRENT_USER.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "corekit/registry.h"
#include "corekit/win32_error_codes.h"
#include "support/registry_test_support.h"

namespace err = corekit::win32_error;
using corekit::kHKeyClassesRoot;
using corekit::kHKeyCurrentUser;
using corekit::kHKeyLocalMachine;

namespace {

class Registry : public regtest::ScratchKeyTest {
 protected:
  void CreateKeys(const std::vector<std::string>& relative) {
    for (const auto& r : relative) {
      CRegistry k;
      k.Connect(kHKeyCurrentUser);
      ASSERT_TRUE(k.Create(Path(r).c_str())) << r << ": " << k.GetErrorCode();
    }
  }
};

TEST_F(Registry, MissingKeyReadsGiveEmptyTextAndLeaveNumbersAlone) {
  CRegistry missing;
  EXPECT_EQ(missing.uOpenKey(kHKeyCurrentUser, Path("missing").c_str()), 0);
  EXPECT_EQ(missing.GetErrorCode(), err::kFileNotFound);

  std::string text = "stale";
  EXPECT_EQ(missing.GetValue("szName", text), 0);
  EXPECT_EQ(text, "");
  uint32_t number = 77;
  EXPECT_EQ(missing.GetValue("dwNumber", number), 0);
  EXPECT_EQ(number, 77u);
  EXPECT_NE(missing.GetErrorCode(), 0);
}

TEST_F(Registry, TypedValuesKeepTheirTypeAndSize) {
  const std::string unicode = "Gr\xC3\xBC\xC3\x9F\x65 \xE6\x9D\xB1";  // "Grüße 東"
  ASSERT_TRUE(reg.SetValue("szText", std::string("Netvane")));
  ASSERT_TRUE(reg.SetValue("szUnicode", unicode));
  ASSERT_TRUE(reg.SetValue("dwNumber", uint32_t{0xDEADBEEF}));
  ASSERT_TRUE(reg.SetValue("ucBytes", std::vector<uint8_t>{1, 2, 0, 255}));
  ASSERT_TRUE(reg.SetValue("msList", std::vector<std::string>{"a", "bc"}));

  struct Case {
    const char* name;
    CRegistry::KeyValueTypes type;
    uint32_t size;
  } cases[] = {{"szText", CRegistry::typeString, 8},
               {"szUnicode", CRegistry::typeString, static_cast<uint32_t>(unicode.size() + 1)},
               {"dwNumber", CRegistry::typeDoubleWord, 4},
               {"ucBytes", CRegistry::typeBinary, 4},
               {"msList", CRegistry::typeMultipleString, 6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CRegistry::KeyValueTypes type = CRegistry::typeNone;
    uint32_t size = 0;
    ASSERT_TRUE(reg.QueryValue(c.name, type, nullptr, size)) << reg.GetErrorCode();
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(size, c.size);
  }

  std::string text;
  EXPECT_TRUE(reg.GetValue("szUnicode", text));
  EXPECT_EQ(text, unicode);
  uint32_t number = 0;
  EXPECT_TRUE(reg.GetValue("dwNumber", number));
  EXPECT_EQ(number, 0xDEADBEEFu);
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(reg.GetValue("ucBytes", bytes));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 0, 255}));
  std::vector<std::string> list;
  EXPECT_TRUE(reg.GetValue("msList", list));
  EXPECT_EQ(list, (std::vector<std::string>{"a", "bc"}));
}

TEST_F(Registry, StringsOf2048BytesOrMoreReadWhole) {
  const std::string path = "C:\\" + std::string(3000, 'p');
  for (const std::string& text :
       {std::string(2046, 'x'), std::string(2047, 'y'), std::string(70000, 'z'), path}) {
    SCOPED_TRACE(text.size());
    ASSERT_TRUE(reg.SetStringValue("szLong", text));
    std::string read = "stale";
    EXPECT_TRUE(reg.GetStringValue("szLong", read)) << reg.GetErrorCode();
    EXPECT_EQ(read, text);
  }
}

TEST_F(Registry, EmptyStringArrayIsStoredAsOneZeroByte) {
  ASSERT_TRUE(reg.SetStringArrayValue("msEmpty", {}));
  CRegistry::KeyValueTypes type = CRegistry::typeNone;
  uint32_t size = 0;
  ASSERT_TRUE(reg.QueryValue("msEmpty", type, nullptr, size));
  EXPECT_EQ(type, CRegistry::typeMultipleString);
  EXPECT_EQ(size, 1u);
  std::vector<std::string> list{"stale"};
  EXPECT_TRUE(reg.GetStringArrayValue("msEmpty", list));
  EXPECT_TRUE(list.empty());
}

TEST_F(Registry, DeleteKeyOfTwoLevelPathRemovesTheTreeAndStaysOnTheParent) {
  CreateKeys({"a\\b\\c\\d", "a\\b\\e", "a\\keep"});
  {
    CRegistry a;
    ASSERT_TRUE(a.uOpenKey(kHKeyCurrentUser, Path("a").c_str()));
    ASSERT_TRUE(a.SetValue("szOnParent", std::string("here")));
    ASSERT_TRUE(a.Open(Path("a\\b\\c").c_str()));
    ASSERT_TRUE(a.SetValue("dwBelow", uint32_t{1}));
  }

  ASSERT_TRUE(reg.DeleteKey(Path("a\\b").c_str())) << reg.GetErrorCode();
  EXPECT_EQ(reg.GetKeyName(), Path("a"));
  std::string text;
  EXPECT_TRUE(reg.GetValue("szOnParent", text));
  EXPECT_EQ(text, "here");

  CRegistry check;
  EXPECT_EQ(check.uOpenKey(kHKeyCurrentUser, Path("a\\b").c_str()), 0);
  EXPECT_EQ(check.GetErrorCode(), err::kFileNotFound);
  EXPECT_TRUE(check.uOpenKey(kHKeyCurrentUser, Path("a\\keep").c_str()));
}

TEST_F(Registry, DeleteKeyOfPlainNameWorksBelowTheOpenKey) {
  CreateKeys({"x\\y\\z"});
  ASSERT_TRUE(reg.uOpenKey(kHKeyCurrentUser, regtest::ScratchPath().c_str()));
  ASSERT_TRUE(reg.DeleteKey("x")) << reg.GetErrorCode();
  EXPECT_EQ(reg.GetKeyName(), regtest::ScratchPath());
  std::string name, cls;
  EXPECT_EQ(reg.EnumerateKeys(0, name, cls), 0);
  EXPECT_EQ(reg.GetErrorCode(), err::kNoMoreItems);
}

TEST_F(Registry, DeleteKeyRefusesAnEmptyLeafInsteadOfWipingTheOpenKey) {
  CreateKeys({"child"});
  ASSERT_TRUE(reg.uOpenKey(kHKeyCurrentUser, regtest::ScratchPath().c_str()));
  for (const std::string& path : {std::string(), regtest::ScratchPath() + "\\"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(reg.DeleteKey(path.c_str()), 0);
    EXPECT_EQ(reg.GetErrorCode(), err::kInvalidParameter);
  }
  CRegistry check;
  EXPECT_TRUE(check.uOpenKey(kHKeyCurrentUser, Path("child").c_str()));
}

TEST_F(Registry, ConnectNamesTheRootAndRefusesMachineNamesForUserRoots) {
  CRegistry r;
  ASSERT_TRUE(r.Connect(kHKeyLocalMachine));
  EXPECT_EQ(r.GetRegistryName(), "HKEY_LOCAL_MACHINE");
  EXPECT_FALSE(r.GetComputerNameA().empty());
  ASSERT_TRUE(r.Connect(kHKeyCurrentUser));
  EXPECT_EQ(r.GetRegistryName(), "HKEY_CURRENT_USER");

  for (corekit::RegKey root : {kHKeyCurrentUser, kHKeyClassesRoot}) {
    CRegistry remote;
    EXPECT_EQ(remote.Connect(root, "elsewhere"), 0);
    EXPECT_EQ(remote.GetErrorCode(), err::kInvalidHandle);
    EXPECT_EQ(remote.GetRegistryName(), "");
  }
}

TEST_F(Registry, GetValueWithDefaultStoresTheDefaultOnlyWhenTheValueIsMissing) {
  ASSERT_TRUE(reg.SetValue("dwThere", uint32_t{5}));
  uint32_t number = 0;
  EXPECT_EQ(reg.GetValue("dwThere", number, 11), 0);
  EXPECT_EQ(number, 5u);

  EXPECT_NE(reg.GetValue("dwMissing", number, 11), 0);
  EXPECT_EQ(number, 11u);
  uint32_t stored = 0;
  EXPECT_TRUE(reg.GetValue("dwMissing", stored));
  EXPECT_EQ(stored, 11u);

  // A value of another type is not overwritten; the caller still gets the default.
  ASSERT_TRUE(reg.SetValue("dwText", std::string("text")));
  number = 0;
  reg.GetValue("dwText", number, 11);
  EXPECT_EQ(number, 11u);
  std::string text;
  EXPECT_TRUE(reg.GetValue("dwText", text));
  EXPECT_EQ(text, "text");
}

TEST_F(Registry, TypedReadsRefuseValuesOfAnotherType) {
  const uint8_t twoBytes[] = {1, 2};
  ASSERT_TRUE(reg.SetValue("szText", std::string("abc")));  // 4 bytes, like a number
  ASSERT_TRUE(reg.SetValue("ucShort", CRegistry::typeBinary, twoBytes, 2));
  ASSERT_TRUE(reg.SetValue("dwNumber", uint32_t{7}));

  uint32_t number = 99;
  for (const char* name : {"szText", "ucShort"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(reg.GetDoubleWordValue(name, number), 0);
    EXPECT_EQ(reg.GetErrorCode(), err::kUnsupportedType);
    EXPECT_EQ(number, 99u);
  }
  std::string text = "stale";
  EXPECT_EQ(reg.GetStringValue("dwNumber", text), 0);
  EXPECT_EQ(text, "");
  std::vector<uint8_t> bytes{9};
  EXPECT_EQ(reg.GetBinaryValue("szText", bytes), 0);
  EXPECT_TRUE(bytes.empty());
  std::vector<std::string> list{"stale"};
  EXPECT_EQ(reg.GetStringArrayValue("szText", list), 0);
  EXPECT_TRUE(list.empty());
}

TEST_F(Registry, SubkeysEnumerateInNameOrderIgnoringCase) {
  CreateKeys({"beta", "Alpha", "gamma", "ALPHA2", "delta"});
  ASSERT_TRUE(reg.uOpenKey(kHKeyCurrentUser, regtest::ScratchPath().c_str()));
  EXPECT_EQ(reg.GetNumberOfSubkeys(), 5u);
  std::vector<std::string> names;
  std::string name, cls;
  for (uint32_t i = 0; reg.EnumerateKeys(i, name, cls); ++i) names.push_back(name);
  EXPECT_EQ(reg.GetErrorCode(), err::kNoMoreItems);
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "delta", "gamma"}));
}

TEST_F(Registry, ValuesEnumerateInCreationOrderOrByNameUnderWine) {
  for (const char* n : {"zeta", "Alpha", "mid"}) ASSERT_TRUE(reg.SetValue(n, std::string(n)));
  ASSERT_TRUE(reg.SetValue("zeta", std::string("overwritten")));  // keeps its place

  std::vector<std::string> names;
  std::string name;
  CRegistry::KeyValueTypes type = CRegistry::typeNone;
  uint8_t data[64];
  uint32_t size = sizeof data;
  for (uint32_t i = 0; reg.EnumerateValues(i, name, type, data, size); ++i) {
    names.push_back(name);
    size = sizeof data;
  }
  EXPECT_EQ(reg.GetErrorCode(), err::kNoMoreItems);
  // Windows and our store list values as they were created; Wine sorts them by name.
  const std::vector<std::string> expected = regtest::RunningUnderWine()
                                                ? std::vector<std::string>{"Alpha", "mid", "zeta"}
                                                : std::vector<std::string>{"zeta", "Alpha", "mid"};
  EXPECT_EQ(names, expected);
}

TEST_F(Registry, EnumerateValuesReportsSizeAndRefusesASmallBuffer) {
  ASSERT_TRUE(reg.SetValue("szHello", std::string("hello")));
  std::string name;
  CRegistry::KeyValueTypes type = CRegistry::typeNone;
  uint8_t data[16] = {};
  uint32_t size = 2;
  EXPECT_EQ(reg.EnumerateValues(0, name, type, data, size), 0);
  EXPECT_EQ(reg.GetErrorCode(), err::kMoreData);
  EXPECT_EQ(size, 2u);

  size = sizeof data;
  ASSERT_TRUE(reg.EnumerateValues(0, name, type, data, size));
  EXPECT_EQ(name, "szHello");
  EXPECT_EQ(type, CRegistry::typeString);
  EXPECT_EQ(size, 6u);
  EXPECT_STREQ(reinterpret_cast<const char*>(data), "hello");
}

TEST_F(Registry, NamesAreComparedWithoutCase) {
  ASSERT_TRUE(reg.SetValue("dwOpt", uint32_t{3}));
  uint32_t number = 0;
  EXPECT_TRUE(reg.GetValue("DWOPT", number));
  EXPECT_EQ(number, 3u);

  CreateKeys({"Mixed\\Case"});
  CRegistry other;
  other.Connect(kHKeyCurrentUser);
  CRegistry::CreationDisposition disposition = CRegistry::dispositionCreatedNewKey;
  ASSERT_TRUE(other.Create(Path("MIXED\\case").c_str(), nullptr, CRegistry::optionsNonVolatile,
                           CRegistry::permissionAllAccess, nullptr, &disposition));
  EXPECT_EQ(disposition, CRegistry::dispositionOpenedExistingKey);
  ASSERT_TRUE(other.Create(Path("Mixed\\New").c_str(), nullptr, CRegistry::optionsNonVolatile,
                           CRegistry::permissionAllAccess, nullptr, &disposition));
  EXPECT_EQ(disposition, CRegistry::dispositionCreatedNewKey);
}

TEST_F(Registry, NonAsciiNamesFoldByUnicodeSimpleUpperCase) {
  struct Case {
    const char* stored;
    const char* asked;
    bool same;
  } cases[] = {
      {"\xC3\x84pfel", "\xC3\xA4PFEL", true},          // Äpfel / äPFEL
      {"\xC3\x96l", "\xC3\xB6L", true},                // Öl / öL
      {"\xC4\x80x", "\xC4\x81X", true},                // Āx / āX
      {"\xCE\xA3\xCE\xBF", "\xCF\x83\xCE\x9F", true},  // Σο / σΟ
      {"\xD0\x96", "\xD0\xB6", true},                  // Ж / ж
      {"\xEF\xBC\xA1", "\xEF\xBD\x81", true},          // fullwidth Ａ / ａ
      {"Stra\xC3\x9F"
       "e",
       "STRASSE", false},                   // ß has no one-letter capital
      {"\xC3\xA9t\xC3\xA9", "ETE", false},  // é is not E
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.asked);
    ASSERT_TRUE(reg.SetValue(c.stored, std::string(c.stored)));
    std::string text;
    EXPECT_EQ(reg.GetValue(c.asked, text) != 0, c.same);
    if (c.same) {
      EXPECT_EQ(text, c.stored);
    }

    CreateKeys({std::string("k\\") + c.stored});
    CRegistry key;
    EXPECT_EQ(key.uOpenKey(kHKeyCurrentUser, Path(std::string("k\\") + c.asked).c_str()) != 0, c.same);
  }

  // Subkeys sort by their upper-cased UTF-16 code units: "Z" < "ä" (Ä) < "ä" + "b" < the
  // surrogate pair of U+1F600 < fullwidth "ａ" (U+FF41, Ａ U+FF21).
  CreateKeys({"order\\\xEF\xBD\x81", "order\\\xF0\x9F\x98\x80",
              "order\\\xC3\xA4"
              "b",
              "order\\Z", "order\\\xC3\xA4"});
  CRegistry order;
  ASSERT_TRUE(order.uOpenKey(kHKeyCurrentUser, Path("order").c_str()));
  std::vector<std::string> names;
  std::string name, cls;
  for (uint32_t i = 0; order.EnumerateKeys(i, name, cls); ++i) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"Z", "\xC3\xA4",
                                             "\xC3\xA4"
                                             "b",
                                             "\xF0\x9F\x98\x80", "\xEF\xBD\x81"}));
}

TEST_F(Registry, OpenReadsTheKeyInformation) {
  CRegistry maker;
  maker.Connect(kHKeyCurrentUser);
  ASSERT_TRUE(maker.Create(Path("info").c_str(), "NvClass"));
  ASSERT_TRUE(maker.SetValue("ucData", std::vector<uint8_t>(300, 1)));
  ASSERT_TRUE(maker.SetValue("dwOne", uint32_t{1}));
  maker.Close();
  CreateKeys({"info\\s1", "info\\s2"});

  CRegistry r;
  ASSERT_TRUE(r.uOpenKey(kHKeyCurrentUser, Path("info").c_str()));
  EXPECT_EQ(r.GetErrorCode(), 0);
  EXPECT_EQ(r.GetNumberOfSubkeys(), 2u);
  EXPECT_EQ(r.GetNumberOfValues(), 2u);
  EXPECT_EQ(r.GetClassNameA(), "NvClass");
  EXPECT_EQ(r.GetLongestValueDataLength(), 300u);
  EXPECT_EQ(r.GetKeyName(), Path("info"));
}

TEST_F(Registry, VariableSizeReadsDoNotDependOnAnEarlierQueryInfo) {
  // Create does not read the key information, so the longest value length is unknown.
  ASSERT_TRUE(reg.SetValue("ucBig", std::vector<uint8_t>(1000, 7)));
  ASSERT_TRUE(reg.SetValue("msBig", std::vector<std::string>(50, std::string(40, 'm'))));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(reg.GetBinaryValue("ucBig", bytes)) << reg.GetErrorCode();
  EXPECT_EQ(bytes, std::vector<uint8_t>(1000, 7));
  std::vector<std::string> list;
  ASSERT_TRUE(reg.GetStringArrayValue("msBig", list));
  EXPECT_EQ(list.size(), 50u);
}

TEST_F(Registry, HandlesToADeletedKeyFail) {
  CreateKeys({"gone"});
  CRegistry stale;
  ASSERT_TRUE(stale.uOpenKey(kHKeyCurrentUser, Path("gone").c_str()));
  ASSERT_TRUE(reg.uOpenKey(kHKeyCurrentUser, regtest::ScratchPath().c_str()));
  ASSERT_TRUE(reg.DeleteKey("gone"));

  EXPECT_EQ(stale.SetValue("dwLate", uint32_t{1}), 0);
  EXPECT_EQ(stale.GetErrorCode(), err::kKeyDeleted);
  std::string text = "stale";
  EXPECT_EQ(stale.GetValue("dwLate", text), 0);
  EXPECT_EQ(stale.GetErrorCode(), err::kKeyDeleted);
  EXPECT_TRUE(stale.Close());
}

TEST_F(Registry, KeysOpenedForReadingRefuseWrites) {
  CRegistry reader;
  reader.Connect(kHKeyCurrentUser);
  ASSERT_TRUE(reader.Open(regtest::ScratchPath().c_str(), CRegistry::permissionRead));
  EXPECT_EQ(reader.SetValue("dwNo", uint32_t{1}), 0);
  EXPECT_EQ(reader.GetErrorCode(), err::kAccessDenied);
}

TEST_F(Registry, DeleteValueRemovesOnlyThatValue) {
  ASSERT_TRUE(reg.SetValue("dwA", uint32_t{1}));
  ASSERT_TRUE(reg.SetValue("dwB", uint32_t{2}));
  ASSERT_TRUE(reg.DeleteValue("DWA"));
  EXPECT_EQ(reg.DeleteValue("dwA"), 0);
  EXPECT_EQ(reg.GetErrorCode(), err::kFileNotFound);
  uint32_t number = 0;
  EXPECT_TRUE(reg.GetValue("dwB", number));
  EXPECT_EQ(number, 2u);
}

TEST_F(Registry, CloseResetsTheObject) {
  ASSERT_TRUE(reg.Flush());
  ASSERT_TRUE(reg.Close());
  EXPECT_EQ(reg.GetHandle(), nullptr);
  EXPECT_EQ(reg.GetKeyName(), "");
  EXPECT_EQ(reg.GetRegistryName(), "");
  EXPECT_EQ(reg.GetErrorCode(), 0);
  EXPECT_TRUE(reg.Close());  // closing an unconnected object succeeds
  uint32_t number = 5;
  EXPECT_EQ(reg.GetValue("dwAny", number), 0);
  EXPECT_EQ(reg.GetErrorCode(), err::kInvalidHandle);
}

TEST_F(Registry, NullArgumentsFailWithInvalidParameter) {
  const uint8_t byte = 0;
  uint32_t size = 0;
  struct Case {
    const char* what;
    std::function<int()> call;
  } cases[] = {
      {"Create", [&] { return reg.Create(nullptr); }},
      {"DeleteKey", [&] { return reg.DeleteKey(nullptr); }},
      {"DeleteValue", [&] { return reg.DeleteValue(nullptr); }},
      {"SetValue name", [&] { return reg.SetValue(nullptr, CRegistry::typeBinary, &byte, 1); }},
      {"SetValue data", [&] { return reg.SetValue("x", CRegistry::typeBinary, nullptr, 0); }},
      {"Load", [&] { return reg.Load("hive", nullptr); }},
      {"UnLoad", [&] { return reg.UnLoad(nullptr); }},
      {"Replace", [&] { return reg.Replace("k", "new", nullptr); }},
      {"Save", [&] { return reg.Save(nullptr); }},
      {"Restore", [&] { return reg.Restore(nullptr); }},
      {"GetSecurity", [&] { return reg.GetSecurity(4, nullptr, size); }},
      {"SetSecurity", [&] { return reg.SetSecurity(4, nullptr); }},
      {"NotifyChange", [&] { return reg.NotifyChange(nullptr); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.call(), 0);
    EXPECT_EQ(reg.GetErrorCode(), err::kInvalidParameter);
  }
}

class FixedNumberRegistry : public CRegistry {
 public:
  int GetDoubleWordValue(const char*, uint32_t& value) noexcept override {
    value = 42;
    return 1;
  }
};

TEST_F(Registry, TypedGetValueGoesThroughTheOverridableOperation) {
  FixedNumberRegistry fixed;
  uint32_t number = 0;
  EXPECT_TRUE(fixed.GetValue("dwAnything", number));
  EXPECT_EQ(number, 42u);
  number = 0;
  EXPECT_EQ(fixed.GetValue("dwAnything", number, 11), 0);  // read succeeded: nothing stored
  EXPECT_EQ(number, 42u);
}

}  // namespace
