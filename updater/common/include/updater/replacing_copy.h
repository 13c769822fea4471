// Copying a file over another so that the target is never left half-written: the bytes go to a
// temporary file beside the target, are flushed, and the temporary then replaces the target in
// one step.  Any failure removes the temporary and leaves the old target as it was.
#pragma once
#include <cstddef>
#include <functional>
#include <string>

#include "updater/file_system.h"
#include "updater/path_rules.h"

namespace nv::updater {

enum class CopyStatus {
  kCopied,
  kSourceMissing,  // the source could not be opened
  kFailed,         // reading, writing, flushing or replacing failed; the target is untouched
  kMismatch,       // the bytes copied are not those of the expected SHA-256; the target is untouched
  kScheduled,      // checked and written beside the target, which it replaces when the computer next starts
};

enum class ReplaceWhen { kNow, kAtRestart };

struct CopyResult {
  CopyStatus status = CopyStatus::kFailed;
  std::string error;  // what failed, for a message or trace
};

// Copies in blocks of `blockSize` bytes; `progress` (may be empty) gets the bytes copied so far
// and the source's size after each block.  With `expectedSha256` (hex) the bytes written are
// hashed on the way and the target is replaced only when they match: what is checked is what is
// installed, however the source changes meanwhile.
CopyResult CopyReplacing(IFileSystem& fs, const std::string& source, const std::string& target,
                         size_t blockSize, PathStyle style,
                         const std::function<void(uint64_t, uint64_t)>& progress = {},
                         const std::string& expectedSha256 = {}, ReplaceWhen when = ReplaceWhen::kNow);

}  // namespace nv::updater
