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

// The text of `error` after the "*E* ".
std::string ErrorText(const CommandError& error) {
  const std::string& s = error.subject;
  switch (error.code) {
    case ErrorCode::kUsage: return s;
    case ErrorCode::kConnectFailed: return "error connecting to repository";
    case ErrorCode::kNotConnected: return "not connected to a repository";
    case ErrorCode::kChangedOnDisk: return "repository changed on disk since connect: " + s;
    case ErrorCode::kClassNotFound: return "class: " + s + " not found";
    case ErrorCode::kClassNameExpected: return "class name expected after descr";
    case ErrorCode::kColumnNotFound: return "column: " + s + " not found";
    case ErrorCode::kInterrupted: return "interrupted";
  }
  return s;
}

}  // namespace

std::string ErrorLine(const CommandError& error) { return "*E* " + ErrorText(error); }

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
