// Records what the change display asks of its windows, as text, in order.
#pragma once
#include <string>
#include <vector>

#include "netvane/indicator_windows.h"

namespace nv::core::testing {

class RecordingWindows : public IIndicatorWindows {
 public:
  explicit RecordingWindows(std::vector<std::string>& calls) : calls_(calls) {}

  void SetParent(std::uintptr_t parent) override { calls_.push_back("parent " + std::to_string(parent)); }
  bool OpenProgress(const std::string& line1, const std::string& line2) override {
    calls_.push_back("open '" + line1 + "' '" + line2 + "'");
    return true;
  }
  void UpdateProgress(int position, const std::string& line2) override {
    calls_.push_back("bar " + std::to_string(position) + " '" + line2 + "'");
  }
  void CloseProgress() override { calls_.push_back("close progress"); }
  bool ShowDisplay(const DisplaySpec& s) override {
    calls_.push_back("display '" + s.name + "' " + std::to_string(s.colour) +
                     (s.vertical ? " vertical " : " ") + s.font.face + " " + std::to_string(s.font.size) +
                     " " + std::to_string(s.font.weight) + " " + std::to_string(s.font.escapement));
    return true;
  }
  void CloseDisplay() override { calls_.push_back("close display"); }

 private:
  std::vector<std::string>& calls_;
};

}  // namespace nv::core::testing
