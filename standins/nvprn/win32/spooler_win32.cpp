// The Windows print spooler and a message box.
#include "platform/text.h"
#include "platform/unique_handle.h"
#include "platform/windows_api.h"
// windows_api.h leaves the spooler out (lean Windows headers).
#include <winspool.h>

#include <vector>

#include "nvprn/spooler.h"

namespace nvprn {
namespace {

struct PrinterTraits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::ClosePrinter(h); }
};

class Win32Spooler final : public Spooler {
 public:
  std::vector<std::string> PrinterNames() override {
    std::vector<std::string> names;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD returned = 0;
    ::EnumPrintersW(flags, nullptr, 4, nullptr, 0, &needed, &returned);
    if (needed == 0) return names;
    std::vector<BYTE> buffer(needed);
    if (!::EnumPrintersW(flags, nullptr, 4, buffer.data(), needed, &needed, &returned)) return names;
    const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
      if (info[i].pPrinterName != nullptr) names.push_back(nv::text::Narrow(info[i].pPrinterName));
    }
    return names;
  }

  int PendingJobs(const std::string& printer) override {
    HANDLE raw = nullptr;
    std::wstring name = nv::text::Widen(printer);
    if (!::OpenPrinterW(name.data(), &raw, nullptr)) return 0;
    nv::UniqueHandle<PrinterTraits> handle(raw);
    DWORD needed = 0;
    ::GetPrinterW(handle.get(), 2, nullptr, 0, &needed);
    if (needed == 0) return 0;
    std::vector<BYTE> buffer(needed);
    if (!::GetPrinterW(handle.get(), 2, buffer.data(), needed, &needed)) return 0;
    return static_cast<int>(reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data())->cJobs);
  }

  bool SetDefaultPrinter(const std::string& printer) override {
    return ::SetDefaultPrinterW(nv::text::Widen(printer).c_str()) != FALSE;
  }

  std::string DefaultPrinter() override {
    DWORD size = 0;
    ::GetDefaultPrinterW(nullptr, &size);
    if (size == 0) return {};
    std::wstring name(size, L'\0');
    if (!::GetDefaultPrinterW(name.data(), &size)) return {};
    name.resize(wcsnlen(name.c_str(), name.size()));
    return nv::text::Narrow(name);
  }
};

class MessageBoxPrompt final : public Prompt {
 public:
  bool AskYesNo(const std::string& text) override {
    return ::MessageBoxW(nullptr, nv::text::Widen(text).c_str(), L"Netvane",
                         MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL) == IDYES;
  }
};

}  // namespace

std::unique_ptr<Spooler> MakeSystemSpooler() { return std::make_unique<Win32Spooler>(); }
std::unique_ptr<Prompt> MakeSystemPrompt() { return std::make_unique<MessageBoxPrompt>(); }

}  // namespace nvprn
