// The connection to at most one repository, the `connect` handler, the
// checks every repository command makes of the connected file, and the
// error lines they share.
#ifndef WQSQL_REPOSITORY_CONNECTION_H_
#define WQSQL_REPOSITORY_CONNECTION_H_

#include <memory>
#include <optional>
#include <string>

#include "repository/store_api.h"

// Both fields are present (connected) or both absent, whenever no connect is
// in progress.
struct RepositoryConnection {
  std::optional<std::string> path;         // as typed in the last good connect
  std::unique_ptr<awq_Database> database;  // the open repository
};

RepositoryConnection& Connection();
bool IsConnected();

// Replaces the current connection by the repository at `path`; prints
// "*E* error connecting to repository" when it cannot be opened, and is then
// not connected. With failure reasons shown, the store's reason follows on
// standard error: "wqsql: PATH: REASON".
void ConnectRepository(const char* path);
// Whether a failed connect says why on standard error (off by default, so
// that nothing but the "*E*" line is printed).
void ShowConnectFailureReasons(bool on);

// "*E* not connected to a repository"
void ReportNotConnected();
// The test every repository command makes before it reads the connected
// file. True when it may; otherwise prints why and returns false: "*E* not
// connected to a repository", or "*E* repository changed on disk since
// connect: PATH" (PATH as typed at connect) when the file was changed after
// connect. A new connect reads the file as it is then.
bool RepositoryReadable();
// The test after a command has read the file: prints the same changed line
// when the file changed while the command ran (what the command read of the
// part that went came out as zeros: empty names, values and counts).
void ReportChangeDuringCommand();
// "*E* class: NAME not found"
void ReportClassNotFound(const char* name);

#endif  // WQSQL_REPOSITORY_CONNECTION_H_
