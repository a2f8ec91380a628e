// The one connection, its replacement by `connect`, the checks of the
// connected file, and the shared error lines.
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

namespace {

void ReportChanged() {
  out::Write("*E* repository changed on disk since connect: ");
  out::Write(*Connection().path);
  out::EndLine();
}

}  // namespace

bool RepositoryReadable() {
  if (!IsConnected()) {
    ReportNotConnected();
    return false;
  }
  if (Connection().database->HasFileChanged()) {
    ReportChanged();
    return false;
  }
  return true;
}

void ReportChangeDuringCommand() {
  if (IsConnected() && Connection().database->HasFileChanged()) ReportChanged();
}

void ReportClassNotFound(const char* name) {
  out::Write("*E* class: ");
  out::Write(name);
  out::Write(" not found");
  out::EndLine();
}
