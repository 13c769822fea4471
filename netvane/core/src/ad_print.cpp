#include "netvane/ad_print.h"

#include <algorithm>
#include <optional>

#include "corekit/debug.h"
#include "corekit/registry.h"
#include "corekit/win32_error_codes.h"
#include "nvprn/prn_info.h"
#include "platform/text.h"

namespace {

const char* Mark(bool marked) { return marked ? CAdPrint::kMarked : CAdPrint::kUnmarked; }

bool IsMarked(const std::string& cell) { return nv::text::EqualsNoCase(cell, CAdPrint::kMarked); }

struct TableValue {
  std::string name;
  bool marks[2] = {false, false};
};

// Value `index` of the open key; false when it cannot be read.
bool ReadValue(CRegistry& key, uint32_t index, TableValue& value) {
  CRegistry::KeyValueTypes type = CRegistry::typeBinary;
  uint8_t data[64] = {};
  uint32_t size = sizeof data;
  if (!key.EnumerateValues(index, value.name, type, data, size)) return false;
  value.marks[0] = size >= 1 && data[0] != 0;
  value.marks[1] = size >= 2 && data[1] != 0;
  return true;
}

}  // namespace

CAdPrint::CAdPrint(std::string productKeyPath, std::string installedPath, bool nt, HelperFactory helpers,
                   std::shared_ptr<corekit::RegistryApi> registry)
    : m_productKeyPath(std::move(productKeyPath)),
      m_installedPath(std::move(installedPath)),
      m_nt(nt),
      m_helpers(helpers ? std::move(helpers) : HelperFactory([] { return std::make_unique<CPrnInfo>(); })),
      m_registry(registry ? std::move(registry) : corekit::SystemRegistryApi()) {}

void CAdPrint::Load() {
  CRegistry key(m_registry);
  if (!key.uOpenKey(corekit::kHKeyLocalMachine, TableKey().c_str())) {
    Scan();
    return;
  }
  m_rows.clear();
  const uint32_t count = key.GetNumberOfValues();
  for (uint32_t i = 0; i < count; ++i) {
    TableValue value;
    if (!ReadValue(key, i, value) || value.name.empty()) continue;
    m_rows.push_back(Row{value.name, {Mark(value.marks[0]), Mark(value.marks[1])}});
  }
}

void CAdPrint::Scan() {
  m_rows.clear();
  _PrnDesc list[CPrnInfo::kMaxPrinters] = {};
  int count = 0;
  if (std::unique_ptr<CPrnInfo> helper = m_helpers()) helper->GetPrnNameList(m_installedPath, list, &count);
  // The helper promises 0 to 20; a broken one must not make us read past the buffer.
  if (count < 0 || count > CPrnInfo::kMaxPrinters) count = 0;
  m_scanCount = count;

  std::vector<TableValue> table;
  CRegistry key(m_registry);
  if (key.Connect(corekit::kHKeyLocalMachine) && key.Open(TableKey().c_str(), CRegistry::permissionRead)) {
    if (!key.QueryInfo()) {
      CDebug::dprintf("CAdPrint::Scan: printer table not readable (%d)\n", key.GetErrorCode());
      return;
    }
    const uint32_t values = key.GetNumberOfValues();
    for (uint32_t i = 0; i < values; ++i) {
      TableValue value;
      if (ReadValue(key, i, value)) table.push_back(std::move(value));
    }
  }
  for (int i = 0; i < count; ++i) {
    Row row;
    const char* name = list[i].szName;
    row.name.assign(name, std::find(name, name + sizeof list[i].szName, '\0'));
    row.marks[0] = row.marks[1] = kUnmarked;
    for (const TableValue& value : table) {
      // The table is a registry key: a name matches as the registry matches it.
      if (!RegistryNamesEqual(value.name, row.name)) continue;
      row.marks[0] = Mark(value.marks[0]);
      row.marks[1] = Mark(value.marks[1]);
      break;
    }
    m_rows.push_back(std::move(row));
  }
}

bool CAdPrint::Toggle(size_t row, int column) {
  if (row >= m_rows.size() || (column != 1 && column != 2)) return false;
  Row& r = m_rows[row];
  // A printer connection belongs to its server, not to a network of this workstation.
  if (m_nt && r.name.rfind("\\\\", 0) == 0) return false;
  std::string& cell = r.marks[column - 1];
  cell = IsMarked(cell) ? kUnmarked : kMarked;
  return true;
}

bool CAdPrint::Save() {
  std::optional<std::vector<StoredValue>> before;
  if (!ReadStored(before)) {
    // Rebuilding a table that cannot be read whole could not be undone: leave it as it is.
    CDebug::dprintf("CAdPrint::Save: printer table not readable, not rewritten\n");
    return false;
  }
  std::vector<StoredValue> rows;
  for (const Row& row : m_rows) {
    if (row.name.empty()) continue;  // a value without a name would be the key's default value
    rows.push_back({row.name,
                    CRegistry::typeBinary,
                    {static_cast<uint8_t>(IsMarked(row.marks[0]) ? 1 : 0),
                     static_cast<uint8_t>(IsMarked(row.marks[1]) ? 1 : 0)}});
  }
  if (Rewrite(rows)) return true;
  // All or nothing: a half-written table would move printers between networks nobody chose.
  if (!Rewrite(before)) CDebug::dprintf("CAdPrint::Save: printer table not restored\n");
  return false;
}

bool CAdPrint::ReadStored(std::optional<std::vector<StoredValue>>& values) const {
  values.reset();
  CRegistry key(m_registry);
  if (!key.Connect(corekit::kHKeyLocalMachine)) return false;
  if (!key.Open(TableKey().c_str(), CRegistry::permissionRead))
    return key.GetErrorCode() == corekit::win32_error::kFileNotFound;
  if (!key.QueryInfo()) return false;
  std::vector<StoredValue> read;
  std::vector<uint8_t> buffer(key.GetLongestValueDataLength() + 1);
  for (uint32_t i = 0; i < key.GetNumberOfValues(); ++i) {
    StoredValue value;
    uint32_t size = static_cast<uint32_t>(buffer.size());
    if (!key.EnumerateValues(i, value.name, value.type, buffer.data(), size)) return false;
    value.data.assign(buffer.begin(), buffer.begin() + std::min<size_t>(size, buffer.size()));
    read.push_back(std::move(value));
  }
  values = std::move(read);
  return true;
}

bool CAdPrint::Rewrite(const std::optional<std::vector<StoredValue>>& values) const {
  CRegistry parent(m_registry);
  if (!parent.Connect(corekit::kHKeyLocalMachine)) return false;
  if (!parent.DeleteKey(TableKey().c_str())) {
    CRegistry probe(m_registry);
    // A table that is still there would keep the values of printers no longer listed.
    if (probe.uOpenKey(corekit::kHKeyLocalMachine, TableKey().c_str())) return false;
  }
  if (!values) return true;
  CRegistry table(m_registry);
  if (!table.Connect(corekit::kHKeyLocalMachine) ||
      !table.Create(TableKey().c_str(), nullptr, CRegistry::optionsNonVolatile,
                    CRegistry::permissionAllAccess)) {
    CDebug::dprintf("CAdPrint::Save: printer table not created (%d)\n", table.GetErrorCode());
    return false;
  }
  for (const StoredValue& value : *values) {
    if (!table.SetValue(value.name.c_str(), value.type, value.data.data(),
                        static_cast<uint32_t>(value.data.size()))) {
      CDebug::dprintf("CAdPrint::Save: %s not written (%d)\n", value.name.c_str(), table.GetErrorCode());
      return false;
    }
  }
  return true;
}
