// The file operations the update client and finisher need, behind one interface so that tests
// can fail any of them (a full disk half-way through a copy, a target in use).  Paths are UTF-8.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nv::updater {

class IReadFile {
 public:
  virtual ~IReadFile() = default;
  // Up to `capacity` bytes; `got` is 0 at the end.  False on a read error.
  virtual bool Read(char* buffer, size_t capacity, size_t& got) noexcept = 0;
  virtual uint64_t Size() const noexcept = 0;
};

class IWriteFile {
 public:
  virtual ~IWriteFile() = default;
  // All `size` bytes or false (a full disk fails here).
  virtual bool Write(const char* data, size_t size) noexcept = 0;
  // Forces the written bytes to the disk.
  virtual bool Flush() noexcept = 0;
  // Closing may report a late write error; the file is closed either way.
  virtual bool Close() noexcept = 0;
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  // Null when the file cannot be opened.
  virtual std::unique_ptr<IReadFile> OpenRead(const std::string& path) noexcept = 0;
  // Creates or truncates the file.
  virtual std::unique_ptr<IWriteFile> Create(const std::string& path) noexcept = 0;
  // A new file with a name of its own in `dir`; its path goes to `path`.
  virtual std::unique_ptr<IWriteFile> CreateTemporary(const std::string& dir, std::string& path) noexcept = 0;
  // Moves `from` over `to` in one step (the old `to` stays when this fails).
  virtual bool Replace(const std::string& from, const std::string& to) noexcept = 0;
  virtual bool Remove(const std::string& path) noexcept = 0;
  // One level; an existing folder counts as success.
  virtual bool CreateDirectory(const std::string& path) noexcept = 0;
  virtual bool Exists(const std::string& path) noexcept = 0;
  // True when nothing is at `path` or a plain disk file is; false for a folder, a link or
  // junction, a device, a pipe, or anything that cannot be looked at.  What a replace may overwrite.
  virtual bool IsReplaceableTarget(const std::string& path) noexcept = 0;
  // True while another program holds the file so that it cannot be replaced (on Windows: open
  // without write sharing, or a running program's image); false when it is free or absent.
  virtual bool InUse(const std::string& path) noexcept = 0;
  // Moves `from` over `to` when the computer next starts (Windows, administrators only: the
  // request is stored for the session manager); false when it could not be scheduled.
  virtual bool ReplaceAtRestart(const std::string& from, const std::string& to) noexcept = 0;
  // Makes `path` anew as a folder only SYSTEM and Administrators may write (natively: only its
  // owner): a link or junction there is refused and left alone; a plain folder there is emptied
  // of its files and removed first (a subfolder in it is refused).  False on any refusal.
  virtual bool CreatePrivateDirectory(const std::string& path) noexcept = 0;
  // The platform's error text of the last failed call.
  virtual std::string LastError() const = 0;
};

// The real file system of the running platform.
IFileSystem& NativeFileSystem() noexcept;

// Reads the whole file; false when it cannot be opened or read.
bool ReadWholeFile(IFileSystem& fs, const std::string& path, std::string& bytes) noexcept;

// Writes `bytes` to a temporary beside `path`, flushes it and moves it over `path`.
bool ReplaceWholeFile(IFileSystem& fs, const std::string& path, const std::string& bytes) noexcept;

}  // namespace nv::updater
