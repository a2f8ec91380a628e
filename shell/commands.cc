// The grammar of each command's arguments and the call of the handler that
// runs it: connect and descr in the repository layer, the selects in the
// query layer, help and set here.
#include "shell/commands.h"

#include <cstring>

#include "platform/ascii.h"
#include "query/select.h"
#include "repository/catalogue.h"
#include "repository/class_description.h"
#include "repository/connection.h"
#include "shell/command_table.h"
#include "shell/keywords.h"
#include "shell/settings.h"
#include "terminal/output.h"

namespace {

void Error(const char* text) {
  out::Write(text);
  out::EndLine();
}

// Reads the table name after "from" and checks that nothing follows it.
// Returns null after printing the error when either check fails.
const char* ReadTableName(Tokenizer& rest) {
  const char* table = rest.Next(kCommandDelimiters);
  if (table == nullptr) {
    Error("*E* tablename expected after from keyword");
    return nullptr;
  }
  if (rest.Next(kCommandDelimiters) != nullptr) {
    // The select command reports extra tokens with the descr command's text.
    Error("*E* too many tokens for descr command");
    return nullptr;
  }
  return table;
}

void SelectAll(Tokenizer& rest) {
  const char* from = rest.Next(kCommandDelimiters);
  if (from == nullptr || !EqualsIgnoreCase(from, keyword::kFrom)) {
    Error("*E* keyword from expected after select *");
    return;
  }
  const char* table = ReadTableName(rest);
  if (table == nullptr) return;
  if (EqualsIgnoreCase(table, keyword::kClassesTableName)) {
    ListClasses();
  } else if (EqualsIgnoreCase(table, keyword::kClassStatsTableName)) {
    ListClassStats();
  } else {
    SelectAllFromClass(table);
  }
}

// A column list: the first token is a column name even when it reads
// "from".
void SelectColumns(const char* first, Tokenizer& rest) {
  ColumnList columns;
  columns.emplace_back(first);
  bool saw_from = false;
  while (const char* t = rest.Next(kColumnDelimiters)) {
    if (EqualsIgnoreCase(t, keyword::kFrom)) {
      saw_from = true;
      break;
    }
    columns.emplace_back(t);
  }
  if (!saw_from) {
    Error("*E* keyword from expected after column list");
    return;
  }
  const char* table = ReadTableName(rest);
  if (table == nullptr) return;
  SelectColumnsFromClass(table, columns);
}

void SetVerbose(Tokenizer& rest) {
  const char* value = rest.Next(kCommandDelimiters);
  if (value == nullptr) {
    Error("*E* expected on or off");
  } else if (rest.Next(kCommandDelimiters) != nullptr) {
    Error("*E* too many tokens for set verbose command");
  } else if (EqualsIgnoreCase(value, keyword::kOn)) {
    Settings().verbose = true;
  } else if (EqualsIgnoreCase(value, keyword::kOff)) {
    Settings().verbose = false;
  } else {
    Error("*E* expected on or off");
  }
}

void SetSeparator(Tokenizer& rest) {
  const char* value = rest.Next(kCommandDelimiters);
  if (value == nullptr) {
    Error("*E* expected character or string");
  } else if (rest.Next(kCommandDelimiters) != nullptr) {
    // The separator reports extra tokens with the verbose setting's text.
    Error("*E* too many tokens for set verbose command");
  } else {
    Settings().separator = SeparatorFromToken(value);
  }
}

}  // namespace

CommandResult RunConnect(Tokenizer& rest) {
  const char* path = rest.Next(kCommandDelimiters);
  if (path != nullptr && EqualsIgnoreCase(path, keyword::kTo)) path = rest.Next(kCommandDelimiters);
  if (path == nullptr) {
    Error("*E* path expected after connect");
  } else if (rest.Next(kCommandDelimiters) != nullptr) {
    Error("*E* too many tokens for connect command");
  } else {
    ConnectRepository(path);
  }
  return CommandResult::kContinue;
}

CommandResult RunDescr(Tokenizer& rest) {
  const char* name = rest.Next(kCommandDelimiters);
  if (name != nullptr && rest.Next(kCommandDelimiters) != nullptr) {
    Error("*E* too many tokens for descr command");
  } else {
    DescribeClass(name);
  }
  return CommandResult::kContinue;
}

CommandResult RunHelp(Tokenizer& /*rest*/) {
  out::Write("wqsql valid commands: ");
  for (const Command& command : CommandTable) {
    out::Write(command.word);
    out::Put(' ');
  }
  out::EndLine();
  return CommandResult::kContinue;
}

CommandResult RunSelect(Tokenizer& rest) {
  const char* first = rest.Next(kColumnDelimiters);
  if (first == nullptr) {
    Error("*E* column list or * expected after select");
  } else if (std::strcmp(first, keyword::kAllColumns) == 0) {
    SelectAll(rest);
  } else {
    SelectColumns(first, rest);
  }
  return CommandResult::kContinue;
}

CommandResult RunSet(Tokenizer& rest) {
  const char* what = rest.Next(kCommandDelimiters);
  if (what != nullptr && EqualsIgnoreCase(what, keyword::kVerbose)) {
    SetVerbose(rest);
  } else if (what != nullptr && EqualsIgnoreCase(what, keyword::kSeparator)) {
    SetSeparator(rest);
  } else {
    Error("*E* expected verbose, separator");
  }
  return CommandResult::kContinue;
}

CommandResult StopShell(Tokenizer& /*rest*/) { return CommandResult::kStop; }
