// One line of an FTP LIST reply (Unix "ls -l" or DOS style) as name and size.
#pragma once
#include <optional>
#include <string_view>

#include "ftp_session.h"

namespace nv::updater {

// Nothing for directories, links, totals and lines of another shape.
std::optional<FtpListing> ParseListLine(std::string_view line);

}  // namespace nv::updater
