// Error, usage and version lines of the command-line tools.
#include "tools/common/tool_messages.h"

#include <getopt.h>

#include <cstdio>

namespace wqtools {

int ReportError(const char* tool, std::string message) {
  for (char& c : message) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::fprintf(stderr, "%s: %s\n", tool, message.c_str());
  return 1;
}

int ReportUsageError(const char* tool, const std::string& message, const char* synopsis) {
  ReportError(tool, message);
  std::fputs(synopsis, stderr);
  return 2;
}

std::string OptionError(int code, int optopt, const char* arg) {
  std::string option = arg != nullptr ? arg : "";
  if (optopt != 0 && option.compare(0, 2, "--") != 0) option = std::string("-") + char(optopt);
  // "--format=x" names the option without its value.
  const size_t eq = option.find('=');
  if (eq != std::string::npos) option.resize(eq);
  if (code == ':') return "option " + option + " needs a value";
  return "unknown option " + option;
}

int PrintVersion(const char* tool) {
  std::printf("%s %s\n", tool, WQ_VERSION);
  return 0;
}

int AnswerSharedOption(int code, const char* tool, const char* synopsis, const char* help,
                       char** argv) {
  switch (code) {
    case 'h':
      std::fputs(synopsis, stdout);
      std::fputs(help, stdout);
      return 0;
    case 'V': return PrintVersion(tool);
    default: return ReportUsageError(tool, OptionError(code, optopt, argv[optind - 1]), synopsis);
  }
}

}  // namespace wqtools
