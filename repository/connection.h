// The connection to at most one repository, the `connect` handler, and the
// checks every repository command makes of the connected file.
#ifndef WQSQL_REPOSITORY_CONNECTION_H_
#define WQSQL_REPOSITORY_CONNECTION_H_

#include <memory>
#include <optional>
#include <string>

#include "repository/command_errors.h"
#include "repository/store_api.h"

// Both fields are present (connected) or both absent, whenever no connect is
// in progress.
struct RepositoryConnection {
  std::optional<std::string> path;         // as typed in the last good connect
  std::unique_ptr<awq_Database> database;  // the open repository
};

RepositoryConnection& Connection();
bool IsConnected();

// Replaces the current connection by the repository at `path`. When it
// cannot be opened: kConnectFailed with "PATH: REASON" (the store's reason,
// control bytes shown as "?"), and then not connected.
CommandErrors ConnectRepository(const char* path);

// The test every repository command makes before it reads the connected
// file: kNotConnected, or kChangedOnDisk (with the path as typed at
// connect) when the file was changed after connect. A new connect reads the
// file as it is then.
CommandErrors CheckReadable();
// The test after a command has read the file: kChangedOnDisk when the file
// changed while the command ran (what the command read of the part that
// went came out as zeros: empty names, values and counts).
CommandErrors CheckUnchangedSinceRead();

// Runs `read(database)` on the connected repository between the two
// checks: only the first check's error when it fails, otherwise what `read`
// returned followed by the second check's.
template <typename Read>
CommandErrors ReadConnected(Read read) {
  CommandErrors errors = CheckReadable();
  if (!errors.ok()) return errors;
  errors = read(*Connection().database);
  errors.Append(CheckUnchangedSinceRead());
  return errors;
}

#endif  // WQSQL_REPOSITORY_CONNECTION_H_
