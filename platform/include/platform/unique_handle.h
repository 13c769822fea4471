// Owns one OS handle; the invalid value is part of the type, so a HANDLE
// (INVALID_HANDLE_VALUE) and an HKEY (null) cannot be mixed up.
#pragma once
#include <utility>

namespace nv {

// Traits: `using pointer = T; static pointer invalid() noexcept; static void close(pointer) noexcept;`
template <typename Traits>
class UniqueHandle {
 public:
  using pointer = typename Traits::pointer;

  UniqueHandle() noexcept : h_(Traits::invalid()) {}
  explicit UniqueHandle(pointer h) noexcept : h_(h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  [[nodiscard]] pointer get() const noexcept { return h_; }
  [[nodiscard]] bool valid() const noexcept { return h_ != Traits::invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  pointer release() noexcept { return std::exchange(h_, Traits::invalid()); }
  void reset(pointer h = Traits::invalid()) noexcept {
    if (valid()) Traits::close(h_);
    h_ = h;
  }
  // For out-parameters of creating calls: closes the old handle first.
  pointer* put() noexcept {
    reset();
    return &h_;
  }

 private:
  pointer h_;
};

}  // namespace nv
