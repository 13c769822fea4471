#include "options.h"

namespace nv::switchbox {

bool ParseOptions(const std::vector<std::string>& args, Options& out, std::string& error) {
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-h" || a == "--help") {
      o.help = true;
      continue;
    }
    if (a == "-v" || a == "--verbose") {
      o.verbose = true;
      continue;
    }
    std::string* target = nullptr;
    std::string initial;
    if (a == "--cable")
      target = &o.cable;
    else if (a == "--port-a")
      target = &o.port_a;
    else if (a == "--port-b")
      target = &o.port_b;
    else if (a == "--pidfile")
      target = &o.pidfile;
    else if (a == "--initial")
      target = &initial;
    else {
      error = "unknown argument: " + a;
      return false;
    }
    if (i + 1 >= args.size() || args[i + 1].empty()) {
      error = a + " needs a value";
      return false;
    }
    *target = args[++i];
    if (target == &initial) {
      if (initial == "a" || initial == "A")
        o.initial = Port::A;
      else if (initial == "b" || initial == "B")
        o.initial = Port::B;
      else if (initial == "none")
        o.initial = Port::None;
      else {
        error = "--initial takes a, b or none, not " + initial;
        return false;
      }
    }
  }
  out = o;
  return true;
}

const char* Usage() noexcept {
  return "usage: switchbox [--cable IF] [--port-a BRIDGE] [--port-b BRIDGE]\n"
         "                 [--initial a|b|none] [--pidfile FILE] [--verbose]\n"
         "Listens on IF for the control frame and connects IF to BRIDGE A (AA AA) or B (55 55).\n"
         "Defaults: --cable cable --port-a br-a --port-b br-b --initial a.\n";
}

}  // namespace nv::switchbox
