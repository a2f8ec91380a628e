// The one connection, its replacement by `connect`, and the shared error
// lines.
#include "repository/connection.h"

#include "platform/hnta_config.h"
#include "platform/output.h"

RepositoryConnection& Connection() {
  static RepositoryConnection connection;
  return connection;
}

bool IsConnected() { return Connection().path.has_value(); }

void ConnectRepository(const char* path) {
  RepositoryConnection& c = Connection();
  // The old database goes before the new one is opened, also when the path
  // is the same.
  c.database.reset();
  c.database = std::make_unique<awq_Database>();
  HNTAConfig::Initialize();
  if (c.database->Open(path, omReadOnly, 0, false) != nullptr) {
    c.path = std::string(path);
    return;
  }
  out::Write("*E* error connecting to repository");
  out::EndLine();
  c.database.reset();
  c.path.reset();
}

void ReportNotConnected() {
  out::Write("*E* not connected to a repository");
  out::EndLine();
}

void ReportClassNotFound(const char* name) {
  out::Write("*E* class: ");
  out::Write(name);
  out::Write(" not found");
  out::EndLine();
}
