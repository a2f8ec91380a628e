// The one connection, its replacement by `connect`, the checks of the
// connected file, and the shared error lines.
#include "repository/connection.h"

#include <cstdio>
#include <string>

#include "terminal/hnta_config.h"
#include "terminal/output.h"

namespace {

bool g_show_reasons = false;

// Why `db` did not open `path`, as "PATH: REASON"; control bytes become
// "?".
std::string OpenFailureReason(const awq_Database& db, const std::string& path) {
  std::string line = path + ": " + (db.OpenError().empty() ? "cannot open file" : db.OpenError());
  for (char& ch : line) {
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = '?';
  }
  return line;
}

}  // namespace

void ShowConnectFailureReasons(bool on) { g_show_reasons = on; }

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
  if (g_show_reasons) {
    out::Flush();  // the reason comes after the "*E*" line
    std::fprintf(stderr, "wqsql: %s\n", OpenFailureReason(*c.database, path).c_str());
  }
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
