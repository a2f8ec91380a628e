// The wording of the errors of commands and the lines that report them.
#include "shell/error_report.h"

#include <unistd.h>

#include <cstdio>

#include "platform/text.h"
#include "terminal/output.h"

namespace {

bool g_show_reasons = false;

void SayOutputFailed(int err) {
  const std::string message = "wqsql: cannot write output: " + ErrnoText(err) + "\n";
  if (::write(STDERR_FILENO, message.data(), message.size()) < 0) {
    // Nowhere left to say it.
  }
}

}  // namespace

std::string ErrorLine(const CommandError& error) {
  const std::string& s = error.subject;
  switch (error.code) {
    case ErrorCode::kUsage: return "*E* " + s;
    case ErrorCode::kConnectFailed: return "*E* error connecting to repository";
    case ErrorCode::kNotConnected: return "*E* not connected to a repository";
    case ErrorCode::kChangedOnDisk: return "*E* repository changed on disk since connect: " + s;
    case ErrorCode::kClassNotFound: return "*E* class: " + s + " not found";
    case ErrorCode::kClassNameExpected: return "*E* class name expected after descr";
    case ErrorCode::kColumnNotFound: return "*E* column: " + s + " not found";
    case ErrorCode::kInterrupted: return "*E* interrupted";
  }
  return "*E* " + s;
}

void ReportErrors(const CommandErrors& errors) {
  for (const CommandError& error : errors.list()) {
    out::Write(ErrorLine(error));
    out::EndLine();
    if (error.code == ErrorCode::kConnectFailed && g_show_reasons) {
      out::Flush();  // the reason comes after the "*E*" line
      std::fprintf(stderr, "wqsql: %s\n", error.subject.c_str());
    }
  }
}

void ShowConnectFailureReasons(bool on) { g_show_reasons = on; }

void ReportOutputFailures() { out::SetWriteFailureHook(SayOutputFailed); }
