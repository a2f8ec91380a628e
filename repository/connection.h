// The connection to at most one repository, the `connect` handler and the
// error lines shared by every repository command.
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
// not connected.
void ConnectRepository(const char* path);

// "*E* not connected to a repository"
void ReportNotConnected();
// "*E* class: NAME not found"
void ReportClassNotFound(const char* name);

#endif  // WQSQL_REPOSITORY_CONNECTION_H_
