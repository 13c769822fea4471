// RAII owner for a POSIX file descriptor (sockets, ttys, netlink).
#pragma once
#include "platform/unique_handle.h"

namespace nv::posix {

struct FdTraits {
  using pointer = int;
  static pointer invalid() noexcept { return -1; }
  static void close(pointer fd) noexcept;
};
using UniqueFd = UniqueHandle<FdTraits>;

}  // namespace nv::posix
