#include "updater/replacing_copy.h"

#include <vector>

#include "platform/text.h"
#include "updater/sha256.h"

namespace nv::updater {
namespace {

CopyResult Failure(IFileSystem& fs, const std::string& what, const std::string& path) {
  return {CopyStatus::kFailed, what + " " + path + ": " + fs.LastError()};
}

}  // namespace

CopyResult CopyReplacing(IFileSystem& fs, const std::string& source, const std::string& target,
                         size_t blockSize, PathStyle style,
                         const std::function<void(uint64_t, uint64_t)>& progress,
                         const std::string& expectedSha256, ReplaceWhen when) {
  auto in = fs.OpenRead(source);
  if (!in) return {CopyStatus::kSourceMissing, "cannot open " + source + ": " + fs.LastError()};
  std::unique_ptr<ISha256> hash;
  if (!expectedSha256.empty()) {
    hash = NewPlatformSha256();
    if (!hash) return {CopyStatus::kFailed, "no SHA-256 to check " + source + " with"};
  }
  // Nothing is written unless the target is a plain file or absent: a replace over a folder, a
  // link or a device would not install what was checked.
  if (!fs.IsReplaceableTarget(target)) {
    return {CopyStatus::kFailed, target + " is not a plain file, refused: " + fs.LastError()};
  }
  std::string dir = ParentDirectory(target, style);
  if (dir.empty()) dir = ".";
  std::string temporary;
  auto out = fs.CreateTemporary(dir, temporary);
  if (!out) return Failure(fs, "cannot create a temporary file in", dir);

  // Whatever happens below, the temporary must not outlive a failed copy.
  CopyResult result;
  std::vector<char> buffer(blockSize == 0 ? 1 : blockSize);
  const uint64_t total = in->Size();
  uint64_t done = 0;
  for (;;) {
    size_t got = 0;
    if (!in->Read(buffer.data(), buffer.size(), got)) {
      result = Failure(fs, "cannot read", source);
      break;
    }
    if (got == 0) {
      result.status = CopyStatus::kCopied;
      break;
    }
    if (!out->Write(buffer.data(), got)) {
      result = Failure(fs, "cannot write", temporary);
      break;
    }
    if (hash) hash->Update(buffer.data(), got);
    done += got;
    if (progress) progress(done, total);
  }
  if (result.status == CopyStatus::kCopied && !out->Flush()) result = Failure(fs, "cannot flush", temporary);
  const bool closed = out->Close();
  if (result.status == CopyStatus::kCopied && !closed) result = Failure(fs, "cannot close", temporary);
  if (result.status == CopyStatus::kCopied && hash) {
    Sha256Digest digest{};
    if (!hash->Final(digest)) {
      result = {CopyStatus::kFailed, "the SHA-256 of " + source + " could not be computed"};
    } else if (Sha256Text(digest) != nv::text::ToLowerAscii(expectedSha256)) {
      result = {CopyStatus::kMismatch, source + " is not the file that was downloaded and checked (SHA-256 " +
                                           Sha256Text(digest) + ", expected " + expectedSha256 + ")"};
    }
  }
  if (result.status == CopyStatus::kCopied && when == ReplaceWhen::kAtRestart) {
    // The temporary stays: it is what the computer moves over the target when it next starts.
    if (fs.ReplaceAtRestart(temporary, target)) return {CopyStatus::kScheduled, temporary};
    result = Failure(fs, "cannot schedule the replacement of", target);
  }
  if (result.status == CopyStatus::kCopied && !fs.Replace(temporary, target)) {
    result = Failure(fs, "cannot replace", target);
  }
  if (result.status != CopyStatus::kCopied) fs.Remove(temporary);
  return result;
}

}  // namespace nv::updater
