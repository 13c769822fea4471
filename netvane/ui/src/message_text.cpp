#include "netvane/message_text.h"

namespace nv::ui {

std::string MessageText(const std::string& stored) {
  std::string text;
  text.reserve(stored.size());
  for (size_t i = 0; i < stored.size(); ++i) {
    if (stored[i] == '\\' && i + 1 < stored.size() && stored[i + 1] == 'n') {
      text += '\n';
      ++i;
    } else {
      text += stored[i];
    }
  }
  return text;
}

}  // namespace nv::ui
