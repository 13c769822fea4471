#include "corekit/message_box.h"

#include <mutex>
#include <utility>

#include "corekit/debug.h"
#include "message_box_platform.h"

namespace corekit {
namespace {

std::mutex& SinkLock() {
  static std::mutex lock;
  return lock;
}

MessageBoxSink& Sink() {
  static MessageBoxSink sink;
  return sink;
}

}  // namespace

int ShowMessageBox(void* owner, const std::string& caption, const std::string& text, unsigned type,
                   int unattendedAnswer) noexcept {
  try {
    MessageBoxRequest request{owner, caption, text, type, unattendedAnswer};
    MessageBoxSink sink;
    {
      std::lock_guard<std::mutex> hold(SinkLock());
      sink = Sink();
    }
    if (sink) return sink(request);
    return detail::ShowPlatformMessageBox(request);
  } catch (...) {
    CDebug::dprintf("MessageBox(%s): %s (not shown: an error)\n", caption.c_str(), text.c_str());
    return unattendedAnswer;
  }
}

MessageBoxSink SetMessageBoxSink(MessageBoxSink sink) {
  std::lock_guard<std::mutex> hold(SinkLock());
  return std::exchange(Sink(), std::move(sink));
}

}  // namespace corekit
