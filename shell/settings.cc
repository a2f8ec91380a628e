// The shell settings record and the separator rule.
#include "shell/settings.h"

#include <cstring>

ShellSettings& Settings() {
  static ShellSettings settings;
  return settings;
}

char SeparatorFromToken(const char* token) {
  const size_t n = std::strlen(token);
  if (n > 1 && (token[0] == '"' || token[0] == '\'')) return token[1];
  return token[0];
}
