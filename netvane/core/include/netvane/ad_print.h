// CAdPrint: what the printer page of the option sheet decides, without windows.  One row per
// printer with a mark per network; rows come from the printer table below the product key
// ("<product key>\Printer", one REG_BINARY value of 2 bytes per printer: belongs to network A,
// to network B) or from a printer scan, and only Save writes the table back, rebuilt whole.
//
// The page's window code shows `rows()` in its list view (control 1098; columns "Printer name",
// network A name, network B name) and calls: Load at initialisation, Scan for the Scan button
// (1100), Toggle for a click on a cell (then redraws that row), Save when the sheet is confirmed.
// Cell texts are "[  v  ]" (marked) and "[     ]"; the window code shows them as they are.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "corekit/registry.h"

class CIniFile;
class CPrnInfo;

namespace nv::core {

struct PrinterPageTexts {
  std::string printerTitle;  // ADPrint szTPrnName
  std::string netA;          // CommonStr szNetA
  std::string netB;          // CommonStr szNetB
  std::string scan;          // ADPrint szScanPrn
};

// The page's texts from the string file, with the resource library's strings as fall-back.
PrinterPageTexts ReadPrinterPageTexts(CIniFile& strings);

}  // namespace nv::core

class CAdPrint {
 public:
  static constexpr const char* kMarked = "[  v  ]";
  static constexpr const char* kUnmarked = "[     ]";
  // List view columns: printer name, network A, network B (all centred).
  static constexpr int kColumnWidths[3] = {250, 85, 85};

  struct Row {
    std::string name;      // column 0
    std::string marks[2];  // columns 1 (network A) and 2 (network B)
  };
  // A short-lived printer helper for each scan.
  using HelperFactory = std::function<std::unique_ptr<CPrnInfo>()>;

  // `productKeyPath`: below HKEY_LOCAL_MACHINE; `nt`: an NT-family system, where printer
  // connections ("\\server\printer") cannot be marked; without a factory the system's helper,
  // without `registry` the system's registry.
  CAdPrint(std::string productKeyPath, std::string installedPath, bool nt, HelperFactory helpers = {},
           std::shared_ptr<corekit::RegistryApi> registry = nullptr);

  // Rows from the table; without a table, Scan.
  void Load();
  // Rows from the helper's printer list, marks from the table (names compared ignoring case).
  void Scan();
  // Flips the mark of `row` in column 1 or 2; false when nothing changed (column 0, a printer
  // connection on NT, a row or column out of range).
  bool Toggle(size_t row, int column);
  // Deletes the table and writes one value per row, in row order.  All or nothing: when any
  // step fails the table is put back as it was (no table if there was none) and Save is false;
  // a table that cannot be read whole is left alone and Save is false.
  bool Save();

  const std::vector<Row>& rows() const noexcept { return m_rows; }
  int scanCount() const noexcept { return m_scanCount; }

 private:
  struct StoredValue {
    std::string name;
    CRegistry::KeyValueTypes type = CRegistry::typeBinary;
    std::vector<uint8_t> data;
  };
  std::string TableKey() const { return m_productKeyPath + "\\Printer"; }
  // The table as stored, nullopt when there is none; false when it is there but not readable.
  bool ReadStored(std::optional<std::vector<StoredValue>>& values) const;
  // Replaces the table by `values` (nullopt: removes it).
  bool Rewrite(const std::optional<std::vector<StoredValue>>& values) const;

  std::string m_productKeyPath;
  std::string m_installedPath;
  bool m_nt;
  HelperFactory m_helpers;
  std::vector<Row> m_rows;
  std::shared_ptr<corekit::RegistryApi> m_registry;
  int m_scanCount = 0;
};
