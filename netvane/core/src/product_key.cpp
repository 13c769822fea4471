#include "netvane/product_key.h"

namespace nv::core {

std::string ProductKeyPath(std::string_view maker) {
  std::string path = "SOFTWARE\\";
  path += maker;
  path += "\\Netvane-H";
  return path;
}

}  // namespace nv::core
