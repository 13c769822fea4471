// Natively there is no print spooler to drive: the printers are the lines of a text file named
// by the environment variable NV_PRINTERS (none set: no printers).  Each line is a printer
// name, optionally followed by a tab and its number of waiting documents; a leading "*" marks
// the default printer.  Setting the default rewrites the file (temporary file, then rename).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "nvprn/spooler.h"
#include "platform/text.h"

namespace nvprn {
namespace {

struct Line {
  std::string name;
  int jobs = 0;
  bool isDefault = false;
};

class FileSpooler final : public Spooler {
 public:
  std::vector<std::string> PrinterNames() override {
    std::vector<std::string> names;
    for (const Line& l : Read()) names.push_back(l.name);
    return names;
  }

  int PendingJobs(const std::string& printer) override {
    for (const Line& l : Read())
      if (nv::text::EqualsNoCase(l.name, printer)) return l.jobs;
    return 0;
  }

  bool SetDefaultPrinter(const std::string& printer) override {
    std::vector<Line> lines = Read();
    bool found = false;
    for (Line& l : lines) {
      l.isDefault = !found && nv::text::EqualsNoCase(l.name, printer);
      found = found || l.isDefault;
    }
    return found && Write(lines);
  }

  std::string DefaultPrinter() override {
    for (const Line& l : Read())
      if (l.isDefault) return l.name;
    return {};
  }

 private:
  static std::string FilePath() {
    const char* path = std::getenv("NV_PRINTERS");
    return path != nullptr ? path : "";
  }

  static std::vector<Line> Read() {
    std::vector<Line> lines;
    const std::string path = FilePath();
    if (path.empty()) return lines;
    std::ifstream in(path);
    std::string text;
    while (std::getline(in, text)) {
      Line line;
      if (!text.empty() && text[0] == '*') {
        line.isDefault = true;
        text.erase(0, 1);
      }
      const size_t tab = text.find('\t');
      if (tab != std::string::npos) {
        line.jobs = std::atoi(text.c_str() + tab + 1);
        text.resize(tab);
      }
      if (text.empty()) continue;
      line.name = text;
      lines.push_back(std::move(line));
    }
    return lines;
  }

  static bool Write(const std::vector<Line>& lines) {
    const std::string path = FilePath();
    const std::string temp = path + ".new";
    {
      std::ofstream out(temp, std::ios::trunc);
      for (const Line& l : lines) {
        out << (l.isDefault ? "*" : "") << l.name;
        if (l.jobs != 0) out << '\t' << l.jobs;
        out << '\n';
      }
      out.flush();
      if (!out) {
        std::remove(temp.c_str());
        return false;
      }
    }
    std::error_code error;
    std::filesystem::rename(temp, path, error);
    if (error) std::remove(temp.c_str());
    return !error;
  }
};

// Nobody can be asked here: the change goes on.
class YesPrompt final : public Prompt {
 public:
  bool AskYesNo(const std::string&) override { return true; }
};

}  // namespace

std::unique_ptr<Spooler> MakeSystemSpooler() { return std::make_unique<FileSpooler>(); }
std::unique_ptr<Prompt> MakeSystemPrompt() { return std::make_unique<YesPrompt>(); }

}  // namespace nvprn
