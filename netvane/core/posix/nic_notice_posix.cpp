#include <cstdio>

#include "netvane/nic_notice.h"

namespace nv::core {
namespace {

// No desktop to show a message box on: the text goes where the user of a native build looks.
class StderrNicNotice final : public INicNotice {
 public:
  void NoNicInstalled(const std::string& text) noexcept override {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
};

}  // namespace

INicNotice& SystemNicNotice() noexcept {
  static StderrNicNotice notice;
  return notice;
}

}  // namespace nv::core
