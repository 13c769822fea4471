#include "corekit/ini_file.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "corekit/debug.h"
#include "corekit/resource_strings.h"
#include "file_access.h"
#include "platform/text.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr char kOpenError[] = "Unable to open ini file.";
constexpr char kWriteError[] = "Unable to write ini file.";
constexpr char kNoKeyError[] = "Unable to locate specified key.";
constexpr char kNoValueError[] = "Unable to locate specified value.";

// Like atoi, but clamped instead of undefined on overflow.
int ToInt(const std::string& text) noexcept {
  const long n = std::strtol(text.c_str(), nullptr, 10);
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

double ToDouble(const std::string& text) noexcept { return std::strtod(text.c_str(), nullptr); }

// A byte-order mark declares UTF-8, so such a file is never re-interpreted even when it holds
// stray invalid bytes; any other file that is not valid UTF-8 is legacy text.
bool IsLegacyText(std::string_view& bytes) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    bytes.remove_prefix(kUtf8Bom.size());
    return false;
  }
  return !nv::text::IsValidUtf8(bytes);
}

// A zero number gives the number in the string resource instead.
template <typename Number>
Number OrResourceNumber(Number number, unsigned resourceId, Number (*convert)(const std::string&) noexcept) {
  if (number != Number{}) return number;
  try {
    return convert(LoadResourceString(resourceId));
  } catch (...) {
    return Number{};
  }
}

// Room for one more element, growing geometrically (an exact reserve would copy on every append).
template <typename Vector>
void ReserveOneMore(Vector& v) {
  if (v.size() == v.capacity()) v.reserve(v.size() < 8 ? 8 : v.size() * 2);
}

bool IsAscii(std::string_view text) noexcept {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

CIniFile::CIniFile() = default;
CIniFile::CIniFile(std::string path) : m_path(std::move(path)) {}
CIniFile::~CIniFile() = default;

void CIniFile::SetPath(std::string path) noexcept { m_path = std::move(path); }

bool CIniFile::ReadFile() noexcept {
  try {
    std::string bytes;
    switch (nv::corekit::ReadWholeFile(m_path, bytes)) {
      case nv::corekit::ReadStatus::kMissing:
        return false;
      case nv::corekit::ReadStatus::kUnreadable:
        m_error = kOpenError;
        return false;
      case nv::corekit::ReadStatus::kOk:
        break;
    }
    std::string_view text = bytes;
    const bool legacy = IsLegacyText(text);
    Parse(text, legacy);
    return true;
  } catch (...) {  // out of memory: what was read so far stays in the model
    CDebug::dprintf("CIniFile::ReadFile: failed reading %s\n", m_path.c_str());
    m_error = kOpenError;
    return false;
  }
}

void CIniFile::Parse(std::string_view text, bool legacy) {
  std::string section;
  std::string converted;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find('\n', pos);
    std::string_view line =
        text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    // Legacy text is converted line by line: in a double-byte code page a stray lead byte then
    // cannot swallow the line end.
    if (legacy) {
      converted = nv::corekit::LegacyTextToUtf8(line);
      line = converted;
    }

    if (line.front() == '[' && line.back() == ']') {
      const size_t first = line.find_first_not_of('[');
      const size_t last = line.find_last_not_of(']');
      section = (first == std::string_view::npos || last == std::string_view::npos || last < first)
                    ? std::string()
                    : std::string(line.substr(first, last - first + 1));
      continue;
    }
    // A line without "=" holds no value (a comment or stray text): skip it rather than store a
    // mangled name.
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    SetValue(section, line.substr(0, eq), line.substr(eq + 1), true);
  }
}

void CIniFile::Reset() noexcept {
  m_keys.clear();
  m_names.clear();
  m_keyIndex.clear();
}

std::string CIniFile::Serialize() const {
  std::string text;
  for (size_t k = 0; k < m_keys.size(); ++k) {
    const Key& key = m_keys[k];
    if (key.names.empty()) continue;
    text += '[';
    text += m_names[k];
    text += "]\r\n";
    for (size_t v = 0; v < key.names.size(); ++v) {
      text += key.names[v];
      text += '=';
      text += key.values[v];
      text += "\r\n";
    }
    text += "\r\n";
  }
  // Marks non-ASCII text as UTF-8, so it is never re-read in a legacy code page and a first
  // name that itself begins with a mark survives the round trip.
  if (!IsAscii(text)) text.insert(0, kUtf8Bom);
  return text;
}

bool CIniFile::WriteFile() noexcept {
  try {
    if (nv::corekit::ReplaceFileContents(m_path, Serialize())) return true;
  } catch (...) {
  }
  CDebug::dprintf("CIniFile::WriteFile: failed writing %s\n", m_path.c_str());
  try {
    m_error = kWriteError;
  } catch (...) {
  }
  return false;
}

int CIniFile::FindKey(std::string_view section) const noexcept {
  const auto it = m_keyIndex.find(section);
  return it == m_keyIndex.end() ? -1 : it->second;
}

int CIniFile::FindValue(int keyIndex, std::string_view name) const noexcept {
  if (keyIndex < 0 || keyIndex >= static_cast<int>(m_keys.size())) return -1;
  const Index& index = m_keys[static_cast<size_t>(keyIndex)].index;
  const auto it = index.find(name);
  return it == index.end() ? -1 : it->second;
}

const std::string* CIniFile::Lookup(std::string_view section, std::string_view name) {
  const int k = FindKey(section);
  if (k < 0) {
    m_error = kNoKeyError;
    return nullptr;
  }
  const int v = FindValue(k, name);
  if (v < 0) {
    m_error = kNoValueError;
    return nullptr;
  }
  return &m_keys[static_cast<size_t>(k)].values[static_cast<size_t>(v)];
}

std::string CIniFile::GetValue(std::string_view section, std::string_view name) noexcept {
  try {
    const std::string* value = Lookup(section, name);
    return value ? *value : std::string();
  } catch (...) {
    return {};
  }
}

std::string CIniFile::GetValue(std::string_view section, std::string_view name,
                               unsigned resourceId) noexcept {
  try {
    std::string value = GetValue(section, name);
    if (value.empty()) value = LoadResourceString(resourceId);
    return value;
  } catch (...) {
    return {};
  }
}

int CIniFile::GetValueI(std::string_view section, std::string_view name) noexcept {
  return ToInt(GetValue(section, name));
}

int CIniFile::GetValueI(std::string_view section, std::string_view name, unsigned resourceId) noexcept {
  return OrResourceNumber(GetValueI(section, name), resourceId, ToInt);
}

double CIniFile::GetValueF(std::string_view section, std::string_view name) noexcept {
  return ToDouble(GetValue(section, name));
}

double CIniFile::GetValueF(std::string_view section, std::string_view name, unsigned resourceId) noexcept {
  return OrResourceNumber(GetValueF(section, name), resourceId, ToDouble);
}

// The appends allocate everything first, so running out of memory leaves the model unchanged.
int CIniFile::AppendKey(std::string_view section) {
  const int k = static_cast<int>(m_keys.size());
  std::string name(section);
  ReserveOneMore(m_keys);
  ReserveOneMore(m_names);
  m_keyIndex.emplace(name, k);
  m_names.push_back(std::move(name));
  m_keys.emplace_back();
  return k;
}

int CIniFile::AppendValue(Key& key, std::string_view name) {
  const int v = static_cast<int>(key.names.size());
  std::string text(name);
  ReserveOneMore(key.names);
  ReserveOneMore(key.values);
  key.index.emplace(text, v);
  key.names.push_back(std::move(text));
  key.values.emplace_back();
  return v;
}

void CIniFile::CloseGap(Index& index, int removed) noexcept {
  for (auto& entry : index) {
    if (entry.second > removed) --entry.second;
  }
}

bool CIniFile::SetValue(std::string_view section, std::string_view name, std::string_view value,
                        bool create) noexcept {
  try {
    int k = FindKey(section);
    if (k < 0) {
      if (!create) return false;
      k = AppendKey(section);
    }
    Key& key = m_keys[static_cast<size_t>(k)];
    int v = FindValue(k, name);
    if (v < 0) {
      if (!create) return false;
      v = AppendValue(key, name);
    }
    key.values[static_cast<size_t>(v)].assign(value);
    return true;
  } catch (...) {
    return false;
  }
}

bool CIniFile::SetValueI(std::string_view section, std::string_view name, int value, bool create) noexcept {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return SetValue(section, name, text, create);
}

bool CIniFile::SetValueF(std::string_view section, std::string_view name, double value,
                         bool create) noexcept {
  char text[400];  // "%e" of any double fits
  std::snprintf(text, sizeof text, "%e", value);
  return SetValue(section, name, text, create);
}

bool CIniFile::DeleteValue(std::string_view section, std::string_view name) noexcept {
  const int k = FindKey(section);
  const int v = FindValue(k, name);
  if (v < 0) return false;
  Key& key = m_keys[static_cast<size_t>(k)];
  key.index.erase(key.index.find(name));
  CloseGap(key.index, v);
  key.names.erase(key.names.begin() + v);
  key.values.erase(key.values.begin() + v);
  return true;
}

bool CIniFile::DeleteKey(std::string_view section) noexcept {
  const int k = FindKey(section);
  if (k < 0) return false;
  m_keyIndex.erase(m_keyIndex.find(section));
  CloseGap(m_keyIndex, k);
  m_keys.erase(m_keys.begin() + k);
  m_names.erase(m_names.begin() + k);
  return true;
}

int CIniFile::GetNumKeys() const noexcept { return static_cast<int>(m_keys.size()); }

int CIniFile::GetNumValues(std::string_view section) const noexcept {
  const int k = FindKey(section);
  return k < 0 ? -1 : static_cast<int>(m_keys[static_cast<size_t>(k)].names.size());
}
