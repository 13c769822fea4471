// libFuzzer target: the update server's version list, the hand-over list and FTP listing lines,
// all of which arrive from outside.  Every entry that comes out must satisfy the path rules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ftp_listing.h"
#include "updater/handover_list.h"
#include "version_list.h"

using namespace nv::updater;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (PathStyle style : {PathStyle::kWindows, PathStyle::kPosix}) {
    ListContext context;
    context.versionName = "WINXP";
    context.clientCode = "ACME";
    context.style = style;
    context.windowsDir = style == PathStyle::kWindows ? "C:\\WINDOWS" : "/etc";
    context.systemDir = style == PathStyle::kWindows ? "C:\\WINDOWS\\system32" : "/usr/bin";
    context.installedPath = style == PathStyle::kWindows ? "C:\\Program Files\\Netvane" : "/opt/netvane";
    const VersionList list = ParseVersionList(text, context);
    if (list.entries.size() > kMaxEntries) std::abort();
    for (const auto& e : list.entries) {
      if (!IsPlainFileName(e.fileName) || !IsPlainFileName(e.remoteName)) std::abort();
      if (!IsSafeAbsolutePath(ParentDirectory(e.targetPath, style), style)) std::abort();
      if (!e.sha256.empty() && e.sha256.size() != 64) std::abort();
    }
    const HandOverList handOver = ParseHandOverList(text, style);
    if (handOver.entries.size() > kMaxEntries) std::abort();
    for (const auto& e : handOver.entries) {
      if (!IsPlainFileName(e.fileName) || !IsSafeAbsolutePath(e.targetPath, style)) std::abort();
    }
  }
  for (std::string_view line : SplitLines(text)) (void)ParseListLine(line);
  return 0;
}
