// The Windows build against the real spooler (Wine's here): two printers are added for the
// test, the printer table marks one per network, and phase 0 of a change makes the new
// network's printer the default.  Pending documents cannot be observed under Wine (EnumJobs
// and cJobs stay 0), so the phase 1 question is covered with a fake spooler elsewhere.
#include <gtest/gtest.h>

#include <fstream>

#include "corekit/registry.h"
#include "corekit/testing/registry_sandbox.h"
#include "nvprn/prn_info.h"
#include "platform/text.h"
#include "platform/windows_api.h"
// windows_api.h leaves the spooler out (lean Windows headers).
#include <winspool.h>

namespace {

constexpr const wchar_t* kDriver = L"Generic / Text Only";
constexpr const wchar_t* kEnvironment = L"Windows x64";

// The smallest description the PostScript driver accepts.
constexpr const char* kPpd =
    "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
    "*LanguageEncoding: ISOLatin1\n*PCFileName: \"NVTEST.PPD\"\n*Manufacturer: \"Generic\"\n"
    "*Product: \"(Generic)\"\n*ModelName: \"Generic Text Only\"\n*ShortNickName: \"Generic Text Only\"\n"
    "*NickName: \"Generic Text Only\"\n*PSVersion: \"(3010.000) 0\"\n*ColorDevice: False\n"
    "*DefaultPageSize: Letter\n*PageSize Letter/Letter: \"<</PageSize[612 792]>>setpagedevice\"\n"
    "*DefaultImageableArea: Letter\n*ImageableArea Letter/Letter: \"0 0 612 792\"\n"
    "*DefaultPaperDimension: Letter\n*PaperDimension Letter/Letter: \"612 792\"\n";

bool RegisterDriver() {
  wchar_t dir[MAX_PATH] = {};
  DWORD needed = 0;
  if (!::GetPrinterDriverDirectoryW(nullptr, const_cast<wchar_t*>(kEnvironment), 1,
                                    reinterpret_cast<BYTE*>(dir), sizeof dir, &needed))
    return false;
  const std::wstring ppd = std::wstring(dir) + L"\\nvtest.ppd";
  {
    std::ofstream out(nv::text::Narrow(ppd), std::ios::binary);
    out << kPpd;
    if (!out) return false;
  }
  DRIVER_INFO_3W info = {};
  info.cVersion = 3;
  info.pName = const_cast<wchar_t*>(kDriver);
  info.pEnvironment = const_cast<wchar_t*>(kEnvironment);
  info.pDriverPath = const_cast<wchar_t*>(L"wineps.drv");
  info.pConfigFile = const_cast<wchar_t*>(L"wineps.drv");
  std::wstring data = ppd;
  info.pDataFile = data.data();
  return ::AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&info),
                               APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY) ||
         ::GetLastError() == ERROR_PRINTER_DRIVER_ALREADY_INSTALLED;
}

class TestPrinter {
 public:
  explicit TestPrinter(const std::string& name) : name_(nv::text::Widen(name)) {
    PRINTER_INFO_2W info = {};
    info.pPrinterName = name_.data();
    std::wstring port = L"FILE:";
    info.pPortName = port.data();
    std::wstring driver = kDriver;
    info.pDriverName = driver.data();
    std::wstring processor = L"WinPrint";
    info.pPrintProcessor = processor.data();
    std::wstring datatype = L"RAW";
    info.pDatatype = datatype.data();
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    handle_ = ::AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    error_ = handle_ != nullptr ? 0 : ::GetLastError();
  }
  ~TestPrinter() {
    if (handle_ == nullptr) return;
    ::DeletePrinter(handle_);
    ::ClosePrinter(handle_);
  }
  bool added() const { return handle_ != nullptr; }
  DWORD error() const { return error_; }

 private:
  std::wstring name_;
  HANDLE handle_ = nullptr;
  DWORD error_ = 0;
};

class NoPrompt final : public nvprn::Prompt {
 public:
  bool AskYesNo(const std::string&) override { return false; }
};

TEST(SystemSpooler, PhaseZeroMakesTheNewNetworksPrinterTheDefault) {
  ASSERT_TRUE(RegisterDriver()) << ::GetLastError();
  const std::string scratch = corekit::testing::ProcessScratchName("NvprnSpool");
  const std::string nameA = scratch + " A";
  const std::string nameB = scratch + " B";
  TestPrinter printerA(nameA);
  TestPrinter printerB(nameB);
  ASSERT_TRUE(printerA.added()) << printerA.error();
  ASSERT_TRUE(printerB.added()) << printerB.error();

  const std::string productKey = "SOFTWARE\\" + scratch + "\\Netvane-H";
  {
    CRegistry key;
    ASSERT_TRUE(key.Connect(corekit::kHKeyLocalMachine));
    ASSERT_TRUE(key.Create((productKey + "\\Printer").c_str()));
    ASSERT_TRUE(key.SetBinaryValue(nameA.c_str(), {1, 0}));
    ASSERT_TRUE(key.SetBinaryValue(nameB.c_str(), {0, 1}));
  }

  CPrnInfo info(nvprn::MakeSystemSpooler(), std::make_unique<NoPrompt>());
  _PrnDesc list[CPrnInfo::kMaxPrinters];
  int count = 0;
  info.GetPrnNameList("", list, &count);
  std::vector<std::string> listed;
  for (int i = 0; i < count; ++i) listed.push_back(list[i].szName);
  EXPECT_NE(std::find(listed.begin(), listed.end(), nameB), listed.end());

  auto defaultPrinter = [] { return nvprn::MakeSystemSpooler()->DefaultPrinter(); };
  EXPECT_EQ(info.BeforeChange(productKey.c_str(), 1, 0, 1), 1);
  EXPECT_EQ(info.BeforeChange(productKey.c_str(), 1, 0, 0), 1);
  EXPECT_EQ(defaultPrinter(), nameB);
  EXPECT_EQ(info.BeforeChange(productKey.c_str(), 0, 0, 1), 1);
  EXPECT_EQ(info.BeforeChange(productKey.c_str(), 0, 0, 0), 1);
  EXPECT_EQ(defaultPrinter(), nameA);

  corekit::testing::DeleteTree(corekit::kHKeyLocalMachine, "SOFTWARE\\" + scratch);
}

}  // namespace
