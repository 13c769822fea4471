// Natively the spooler is the printer list file named by NV_PRINTERS.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "nvprn/spooler.h"

namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(FileSpooler, ListsJobsAndDefaultFromTheFileAndMovesTheDefault) {
  const fs::path file = fs::temp_directory_path() / ("nvprn-" + std::to_string(::getpid()) + ".lst");
  {
    std::ofstream out(file);
    out << "*Office\t2\nLab\n\n\t7\nCorridor\n";
  }
  ASSERT_EQ(::setenv("NV_PRINTERS", file.c_str(), 1), 0);
  auto spooler = nvprn::MakeSystemSpooler();
  EXPECT_EQ(spooler->PrinterNames(), (std::vector<std::string>{"Office", "Lab", "Corridor"}));
  EXPECT_EQ(spooler->PendingJobs("office"), 2);
  EXPECT_EQ(spooler->PendingJobs("Lab"), 0);
  EXPECT_EQ(spooler->DefaultPrinter(), "Office");

  EXPECT_TRUE(spooler->SetDefaultPrinter("LAB"));
  EXPECT_EQ(spooler->DefaultPrinter(), "Lab");
  EXPECT_EQ(Contents(file), "Office\t2\n*Lab\nCorridor\n");
  EXPECT_FALSE(spooler->SetDefaultPrinter("Nowhere"));
  EXPECT_EQ(spooler->DefaultPrinter(), "Lab") << "an unknown printer leaves the file alone";
  EXPECT_FALSE(fs::exists(file.string() + ".new"));

  ::unsetenv("NV_PRINTERS");
  EXPECT_TRUE(spooler->PrinterNames().empty()) << "no file named: no printers";
  EXPECT_TRUE(nvprn::MakeSystemPrompt()->AskYesNo("anyone?")) << "nobody to ask: the change goes on";
  fs::remove(file);
}

}  // namespace
