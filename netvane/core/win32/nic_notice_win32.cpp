#include "netvane/nic_notice.h"

#include "platform/text.h"
#include "platform/windows_api.h"

namespace nv::core {
namespace {

class MessageBoxNicNotice final : public INicNotice {
 public:
  void NoNicInstalled(const std::string& text) noexcept override {
    try {
      ::MessageBoxW(nullptr, nv::text::Widen(text).c_str(), L"Netvane", MB_OK);
    } catch (...) {  // no memory for the wide text: nothing to show
    }
  }
};

}  // namespace

INicNotice& SystemNicNotice() noexcept {
  static MessageBoxNicNotice notice;
  return notice;
}

}  // namespace nv::core
