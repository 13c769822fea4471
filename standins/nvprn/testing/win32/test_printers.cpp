#include "nvprn/testing/test_printers.h"

#include <fstream>

#include "platform/text.h"
// windows_api.h leaves the spooler out (lean Windows headers).
#include <winspool.h>

namespace nvprn::testing {
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

}  // namespace

bool RegisterTestDriver() {
  wchar_t dir[MAX_PATH] = {};
  DWORD needed = 0;
  if (!::GetPrinterDriverDirectoryW(nullptr, const_cast<wchar_t*>(kEnvironment), 1,
                                    reinterpret_cast<BYTE*>(dir), sizeof dir, &needed))
    return false;
  std::wstring ppd = std::wstring(dir) + L"\\nvtest.ppd";
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
  info.pDataFile = ppd.data();
  return ::AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&info),
                               APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY) ||
         ::GetLastError() == ERROR_PRINTER_DRIVER_ALREADY_INSTALLED;
}

TestPrinter::TestPrinter(const std::string& name) {
  std::wstring printer = nv::text::Widen(name);
  std::wstring port = L"FILE:";
  std::wstring driver = kDriver;
  std::wstring processor = L"WinPrint";
  // Without a data type Wine creates the printer and still fails with 1801.
  std::wstring datatype = L"RAW";
  PRINTER_INFO_2W info = {};
  info.pPrinterName = printer.data();
  info.pPortName = port.data();
  info.pDriverName = driver.data();
  info.pPrintProcessor = processor.data();
  info.pDatatype = datatype.data();
  info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
  m_handle = ::AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info));
  m_error = m_handle != nullptr ? 0 : ::GetLastError();
}

TestPrinter::~TestPrinter() {
  if (m_handle == nullptr) return;
  ::DeletePrinter(m_handle);
  ::ClosePrinter(m_handle);
}

}  // namespace nvprn::testing
