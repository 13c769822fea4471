// The update client's texts: section "Updagent" of the language string file, with built-in
// English where the file has none.
#pragma once
#include <string>
#include <vector>

class CIniFile;

namespace nv::updater {

struct UpdateTexts {
  std::string title = "Netvane Update";
  std::string serverName = "Update server";
  std::string total = "Total";
  std::string down = "File";
  std::string startUpdate = "Start";
  std::string stopUpdate = "Stop";
  std::string serverConf = "Servers...";
  std::string exit = "Exit";
  std::string askStop = "Stop the update?";
  std::string askRetry = "The transfer failed.\nTry again?";
  std::string connect = "Connecting to the update server...";
  std::string downloading = "Downloading";
  std::string failList = "The list of versions could not be read from the server.";
  std::string failExecute = "The update could not be started.";
  std::string writeProtect = "The file could not be written.";
  std::string readProtect = "The file could not be read from the server.";
  std::string fontFace = "Tahoma";
  // The server editor.
  std::string edTitle = "Update Servers";
  std::string serverAddr = "Address";
  std::string user = "User";
  std::string pass = "Password";
  std::string append = "Add";
  std::string remove = "Delete";
  std::string ok = "OK";
  std::string cancel = "Cancel";
  // Verified updates.
  std::string badSignature =
      "The update was refused: the server's list of versions is not signed by the configured key.";
  std::string badHash = "The update was refused: a downloaded file does not match its checksum in the list.";
  std::string noHash = "The update was refused: the list of versions carries no checksum for a file.";
  std::string badKey = "The update was refused: the configured update key cannot be read.";
  std::string unverified =
      "Updates from this server are not verified: no update key is configured, so any file the server "
      "or the network sends is installed.";
  std::string verifiedRequired =
      "The update was refused: this computer accepts verified updates only, and no update key is configured.";
  std::string oldSequence =
      "The update was refused: the server's list of versions is older than the one installed last.";
  std::string sameName = "The update was refused: two lines of the list of versions name one file.";
  std::string badStaging = "The update was refused: the folder for downloaded files could not be made safe.";
  std::string badInstalledPath =
      "The installation folder (InstalledPath) is missing or not an absolute path: nothing was updated.";
};

// Fills every text the file holds (a backslash-n pair becomes a line break).
UpdateTexts LoadUpdateTexts(CIniFile& strings);

// The keys of section "Updagent" that LoadUpdateTexts reads.
std::vector<std::string> UpdateTextKeys();

}  // namespace nv::updater
