// The grammar of each command's arguments and the call of the handler that
// runs it: connect and descr in the repository layer, the selects in the
// query layer, help and set here. What went wrong is handed back.
#include "shell/commands.h"

#include <cstring>

#include "platform/ascii.h"
#include "query/select.h"
#include "query/table_printer.h"
#include "repository/catalogue.h"
#include "repository/class_description.h"
#include "repository/connection.h"
#include "shell/command_table.h"
#include "shell/keywords.h"
#include "shell/settings.h"
#include "terminal/output.h"

namespace {

CommandErrors Usage(const char* text) { return CommandErrors(ErrorCode::kUsage, text); }

// The object tables go to standard output, with the separator of the
// settings, through the pager when one is installed.
TableOutput ShellTableOutput() {
  return TableOutput{&out::Writer(), Settings().separator, out::TableStart};
}

// Reads the table name after "from" into `*table` and checks that nothing
// follows it.
CommandErrors ReadTableName(Tokenizer& rest, const char** table) {
  *table = rest.Next(kCommandDelimiters);
  if (*table == nullptr) return Usage("tablename expected after from keyword");
  // The select command reports extra tokens with the descr command's text.
  if (rest.Next(kCommandDelimiters) != nullptr) return Usage("too many tokens for descr command");
  return {};
}

CommandErrors SelectAll(Tokenizer& rest) {
  const char* from = rest.Next(kCommandDelimiters);
  if (from == nullptr || !EqualsIgnoreCase(from, keyword::kFrom)) {
    return Usage("keyword from expected after select *");
  }
  const char* table = nullptr;
  CommandErrors errors = ReadTableName(rest, &table);
  if (!errors.ok()) return errors;
  if (EqualsIgnoreCase(table, keyword::kClassesTableName)) return ListClasses(out::Writer());
  if (EqualsIgnoreCase(table, keyword::kClassStatsTableName)) {
    return ListClassStats(out::Writer());
  }
  return SelectAllFromClass(table, ShellTableOutput());
}

// A column list: the first token is a column name even when it reads
// "from".
CommandErrors SelectColumns(const char* first, Tokenizer& rest) {
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
  if (!saw_from) return Usage("keyword from expected after column list");
  const char* table = nullptr;
  CommandErrors errors = ReadTableName(rest, &table);
  if (!errors.ok()) return errors;
  return SelectColumnsFromClass(table, columns, ShellTableOutput());
}

CommandErrors SetVerbose(Tokenizer& rest) {
  const char* value = rest.Next(kCommandDelimiters);
  if (value == nullptr) return Usage("expected on or off");
  if (rest.Next(kCommandDelimiters) != nullptr) {
    return Usage("too many tokens for set verbose command");
  }
  if (EqualsIgnoreCase(value, keyword::kOn)) {
    Settings().verbose = true;
  } else if (EqualsIgnoreCase(value, keyword::kOff)) {
    Settings().verbose = false;
  } else {
    return Usage("expected on or off");
  }
  return {};
}

CommandErrors SetSeparator(Tokenizer& rest) {
  const char* value = rest.Next(kCommandDelimiters);
  if (value == nullptr) return Usage("expected character or string");
  // The separator reports extra tokens with the verbose setting's text.
  if (rest.Next(kCommandDelimiters) != nullptr) {
    return Usage("too many tokens for set verbose command");
  }
  Settings().separator = SeparatorFromToken(value);
  return {};
}

}  // namespace

CommandResult RunConnect(Tokenizer& rest) {
  const char* path = rest.Next(kCommandDelimiters);
  if (path != nullptr && EqualsIgnoreCase(path, keyword::kTo)) path = rest.Next(kCommandDelimiters);
  if (path == nullptr) return {Usage("path expected after connect")};
  if (rest.Next(kCommandDelimiters) != nullptr) {
    return {Usage("too many tokens for connect command")};
  }
  return {ConnectRepository(path)};
}

CommandResult RunDescr(Tokenizer& rest) {
  const char* name = rest.Next(kCommandDelimiters);
  if (name != nullptr && rest.Next(kCommandDelimiters) != nullptr) {
    return {Usage("too many tokens for descr command")};
  }
  return {DescribeClass(name, out::Writer())};
}

CommandResult RunHelp(Tokenizer& /*rest*/) {
  out::Write("wqsql valid commands: ");
  for (const Command& command : CommandTable) {
    out::Write(command.word);
    out::Put(' ');
  }
  out::EndLine();
  return {};
}

CommandResult RunSelect(Tokenizer& rest) {
  const char* first = rest.Next(kColumnDelimiters);
  if (first == nullptr) return {Usage("column list or * expected after select")};
  if (std::strcmp(first, keyword::kAllColumns) == 0) return {SelectAll(rest)};
  return {SelectColumns(first, rest)};
}

CommandResult RunSet(Tokenizer& rest) {
  const char* what = rest.Next(kCommandDelimiters);
  if (what != nullptr && EqualsIgnoreCase(what, keyword::kVerbose)) return {SetVerbose(rest)};
  if (what != nullptr && EqualsIgnoreCase(what, keyword::kSeparator)) return {SetSeparator(rest)};
  return {Usage("expected verbose, separator")};
}

CommandResult StopShell(Tokenizer& /*rest*/) { return {CommandErrors(), true}; }
