// The one notice the adapter list shows the user: no network card is registered in Windows.
// Windows shows a message box (OK only, the application name as caption); natively the text
// goes to stderr.  Tests pass a recorder instead.
#pragma once
#include <string>

namespace nv::core {

inline constexpr char kNoNicInstalledText[] = "Check Lan Card(NIC) was installed at your PC";

class INicNotice {
 public:
  virtual ~INicNotice() = default;
  virtual void NoNicInstalled(const std::string& text) noexcept = 0;
};

// The platform's notice: a message box on Windows, a line on stderr natively.
INicNotice& SystemNicNotice() noexcept;

}  // namespace nv::core
