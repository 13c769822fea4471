#include "platform/posix_fd.h"

#include <unistd.h>

namespace nv::posix {

void FdTraits::close(int fd) noexcept { ::close(fd); }

}  // namespace nv::posix
