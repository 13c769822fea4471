#include "dhcp_client_cmdline.h"

namespace nvutil {
namespace {

std::string_view BaseName(std::string_view path) {
  const auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// udhcpc's short options that take a value; in a cluster such as "-fi eth0" the value is
// the rest of the word or, when the word ends there, the next word.
bool TakesValue(char option) {
  static constexpr std::string_view kWithValue = "cVHhFiprsTtAOxP";
  return kWithValue.find(option) != std::string_view::npos;
}

}  // namespace

std::vector<std::string> SplitCmdline(std::string_view raw) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start < raw.size()) {
    auto end = raw.find('\0', start);
    if (end == std::string_view::npos) end = raw.size();
    words.emplace_back(raw.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

std::optional<std::string> UdhcpcInterface(const std::vector<std::string>& argv) {
  std::size_t first = 1;
  if (argv.empty()) return std::nullopt;
  if (BaseName(argv[0]) != "udhcpc") {
    if (BaseName(argv[0]) != "busybox" || argv.size() < 2 || BaseName(argv[1]) != "udhcpc")
      return std::nullopt;
    first = 2;
  }
  std::string iface = "eth0";
  for (std::size_t i = first; i < argv.size(); ++i) {
    const std::string& word = argv[i];
    if (word == "--") break;
    if (word.rfind("--", 0) == 0) {
      const auto eq = word.find('=');
      const std::string name = word.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
      if (name != "interface") {
        // Long options with a separate value word would otherwise be read as options.
        static const char* kLongWithValue[] = {"vendorclass", "hostname",       "fqdn",       "pidfile",
                                               "request",     "script",         "timeout",    "retries",
                                               "tryagain",    "request-option", "client-port"};
        if (eq == std::string::npos)
          for (const char* n : kLongWithValue)
            if (name == n) ++i;
        continue;
      }
      if (eq != std::string::npos) {
        iface = word.substr(eq + 1);
      } else if (i + 1 < argv.size()) {
        iface = argv[++i];
      }
      continue;
    }
    if (word.size() < 2 || word[0] != '-') continue;  // a plain argument
    for (std::size_t k = 1; k < word.size(); ++k) {
      if (!TakesValue(word[k])) continue;
      std::string value;
      if (k + 1 < word.size()) {
        value = word.substr(k + 1);
      } else if (i + 1 < argv.size()) {
        value = argv[++i];
      }
      if (word[k] == 'i') iface = value;
      break;
    }
  }
  if (iface.empty()) return std::nullopt;
  return iface;
}

}  // namespace nvutil
