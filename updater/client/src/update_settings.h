// The update client's registry: the product key's "InstalledPath" and its "Update" subkey with the
// server list ("Server": "1".."N" -> name, "ServerList": name -> "user:password:address",
// "ServerNum": "Count"), the last server used, "cwd" and the public key for verified updates.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nv::updater {

inline constexpr const char* kBuiltInServerName = "TARN";

struct ServerRecord {
  std::string name;  // upper case
  std::string user;
  std::string password;
  std::string address;
};

struct ServerEndpoint {
  std::string address;
  std::string user;
  std::string password;
  bool operator==(const ServerEndpoint& o) const {
    return address == o.address && user == o.user && password == o.password;
  }
};

// Deployment values: the built-in server and the e-mail-shaped anonymous passwords.
struct ServerDefaults {
  std::string address = "update.tarn.example";
  std::string noSelectionPassword = "netvane@tarn.example";
  std::string anonymousPassword = "update@tarn.example";
};

// A ServerList text split at ":": none gives anonymous at the default address; "user:address"
// an empty password; "user:password:address" all three (the password is what stands between
// the first and the last colon, so it may hold colons itself).
ServerEndpoint EndpointFromText(std::string_view text, const ServerDefaults& defaults);

// "user:password:address" as the server editor stores it.
std::string ServerText(const ServerRecord& server);

// "Software\<maker>\<product>".
std::string ProductKeyPath(std::string_view maker, std::string_view product);

class CUpdateSettings {
 public:
  explicit CUpdateSettings(std::string productKeyPath);

  // Creates the three Update subkeys when missing.
  void EnsureKeys() const;
  std::string InstalledPath() const;
  // The stored server names in list order ("1".."Count").
  std::vector<std::string> ServerNames() const;
  // The ServerList text of a name; empty when there is none.
  std::string ServerTextOf(const std::string& name) const;
  // The name stored under "1".."N" for a position of the dialog's list (0 is the built-in entry
  // and has none).
  std::string ServerNameAt(int index) const;
  // Rewrites Server, ServerList and ServerNum from the editor's list.
  bool SaveServers(const std::vector<ServerRecord>& servers) const;
  std::vector<ServerRecord> LoadServers() const;

  std::string LastServerName() const;  // default "TARN"
  void SetLastServerName(const std::string& name) const;
  void SetCwd(const std::string& dir) const;
  // Hex X||Y of the P-256 key that signs the version list; empty when updates are not verified.
  std::string UpdatePublicKey() const;
  // "RequireVerifiedUpdates" (32-bit, non-zero: on) under the Update subkey.
  bool RequireVerifiedUpdates() const;
  // "dwUpdateSequence": the highest "#SEQUENCE" of a verified list handed over here.
  uint32_t InstalledSequence() const;
  bool SetInstalledSequence(uint32_t sequence) const;

  const std::string& productKeyPath() const { return m_productKey; }

 private:
  std::string Read(const std::string& subkey, const char* name) const;
  bool Write(const std::string& subkey, const char* name, const std::string& value) const;
  std::string m_productKey;
};

inline constexpr const char* kUpdatePublicKeyValue = "szUpdateKey";
inline constexpr const char* kRequireVerifiedValue = "RequireVerifiedUpdates";
inline constexpr const char* kSequenceValue = "dwUpdateSequence";

}  // namespace nv::updater
