#include "platform/windows_api.h"

#include "nvutil/net_stack.h"
#include "platform/text.h"
#include "platform_trace.h"

namespace nvutil {

std::uint32_t InvalidArgumentCode() noexcept { return ERROR_INVALID_PARAMETER; }
std::uint32_t NotFoundCode() noexcept { return ERROR_NOT_FOUND; }

std::string DescribeError(std::uint32_t code) {
  wchar_t* text = nullptr;
  const DWORD len = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message =
      len && text ? nv::text::Narrow(std::wstring_view(text, len)) : "error " + std::to_string(code);
  if (text) ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return message;
}

void WritePlatformTrace(const std::string& line) noexcept {
  try {
    ::OutputDebugStringW(nv::text::Widen(line).c_str());
  } catch (...) {
  }
}

}  // namespace nvutil
