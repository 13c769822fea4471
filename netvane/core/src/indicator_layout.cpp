#include "netvane/indicator_windows.h"

namespace nv::core {

DisplayFont DisplayWindowFont(const std::string& fontName, int size, bool vertical) {
  DisplayFont font;
  font.size = size;
  font.weight = 700;
  font.face = vertical ? "@" + fontName : fontName;
  font.escapement = vertical ? -900 : 0;
  return font;
}

TextExtent DisplayWindowSize(TextExtent text, bool vertical) noexcept {
  // The extent is measured along the text; turned, it runs down the window.
  if (vertical && text.cx > text.cy) return {text.cy, text.cx + 50};
  return text;
}

std::string ProgressTitle(const std::string& message, const std::string& networkName) {
  std::string out;
  out.reserve(message.size() + networkName.size());
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '%' && i + 1 < message.size() && message[i + 1] == '1') {
      out += networkName;
      ++i;
    } else {
      out.push_back(message[i]);
    }
  }
  return out;
}

std::string ProgressSecondLine(const std::string& message, const std::string& status) {
  return status.empty() ? message : status;
}

}  // namespace nv::core
