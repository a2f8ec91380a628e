// The one connection, its replacement by `connect`, and the checks of the
// connected file.
#include "repository/connection.h"

#include <string>

#include "terminal/hnta_config.h"

namespace {

// Why `db` did not open `path`, as "PATH: REASON"; control bytes become
// "?".
std::string OpenFailureReason(const awq_Database& db, const std::string& path) {
  std::string line = path + ": " + (db.OpenError().empty() ? "cannot open file" : db.OpenError());
  for (char& ch : line) {
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = '?';
  }
  return line;
}

CommandErrors Changed() { return CommandErrors(ErrorCode::kChangedOnDisk, *Connection().path); }

}  // namespace

RepositoryConnection& Connection() {
  static RepositoryConnection connection;
  return connection;
}

bool IsConnected() { return Connection().path.has_value(); }

CommandErrors ConnectRepository(const char* path) {
  RepositoryConnection& c = Connection();
  // The old database goes before the new one is opened, also when the path
  // is the same.
  c.database.reset();
  c.database = std::make_unique<awq_Database>();
  HNTAConfig::Initialize();
  if (c.database->Open(path, omReadOnly, 0, false) != nullptr) {
    c.path = std::string(path);
    return {};
  }
  CommandErrors failed(ErrorCode::kConnectFailed, OpenFailureReason(*c.database, path));
  c.database.reset();
  c.path.reset();
  return failed;
}

CommandErrors CheckReadable() {
  if (!IsConnected()) return CommandErrors(ErrorCode::kNotConnected);
  if (Connection().database->HasFileChanged()) return Changed();
  return {};
}

CommandErrors CheckUnchangedSinceRead() {
  if (IsConnected() && Connection().database->HasFileChanged()) return Changed();
  return {};
}
