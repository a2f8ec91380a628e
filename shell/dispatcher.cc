// ExecuteCommand: tokenises a command line, checks the grammar of its
// command and runs it, then prints the timing line when verbose is on.
#include <cstring>

#include "platform/clock.h"
#include "query/select.h"
#include "repository/catalogue.h"
#include "repository/class_description.h"
#include "repository/connection.h"
#include "platform/interrupt.h"
#include "platform/output.h"
#include "shell/settings.h"
#include "shell/shell.h"
#include "platform/ascii.h"
#include "shell/tokenizer.h"

const char* const CommandTable[kCommandCount] = {"connect", "descr", "exit", "help",
                                                 "?",       "quit",  "select", "set"};

namespace {

void Error(const char* text) {
  out::Write(text);
  out::EndLine();
}

void RunConnect(Tokenizer& tok) {
  const char* path = tok.Next(kCommandDelimiters);
  if (path != nullptr && EqualsIgnoreCase(path, "to")) path = tok.Next(kCommandDelimiters);
  if (path == nullptr) {
    Error("*E* path expected after connect");
  } else if (tok.Next(kCommandDelimiters) != nullptr) {
    Error("*E* too many tokens for connect command");
  } else {
    ConnectRepository(path);
  }
}

void RunDescr(Tokenizer& tok) {
  const char* name = tok.Next(kCommandDelimiters);
  if (name != nullptr && tok.Next(kCommandDelimiters) != nullptr) {
    Error("*E* too many tokens for descr command");
  } else {
    DescribeClass(name);
  }
}

void RunHelp() {
  out::Write("wqsql valid commands: ");
  for (const char* word : CommandTable) {
    out::Write(word);
    out::Put(' ');
  }
  out::EndLine();
}

// Reads the table name after "from" and checks that nothing follows it.
// Returns null after printing the error when either check fails.
const char* ReadTableName(Tokenizer& tok) {
  const char* table = tok.Next(kCommandDelimiters);
  if (table == nullptr) {
    Error("*E* tablename expected after from keyword");
    return nullptr;
  }
  if (tok.Next(kCommandDelimiters) != nullptr) {
    // The select command reports extra tokens with the descr command's text.
    Error("*E* too many tokens for descr command");
    return nullptr;
  }
  return table;
}

void RunSelect(Tokenizer& tok) {
  const char* first = tok.Next(kColumnDelimiters);
  if (first == nullptr) {
    Error("*E* column list or * expected after select");
    return;
  }
  if (std::strcmp(first, "*") == 0) {
    const char* from = tok.Next(kCommandDelimiters);
    if (from == nullptr || !EqualsIgnoreCase(from, "from")) {
      Error("*E* keyword from expected after select *");
      return;
    }
    const char* table = ReadTableName(tok);
    if (table == nullptr) return;
    if (EqualsIgnoreCase(table, "sys$tables")) {
      ListClasses();
    } else if (EqualsIgnoreCase(table, "sys$tablestats")) {
      ListClassStats();
    } else {
      SelectAllFromClass(table);
    }
    return;
  }

  // A column list: the first token is a column name even when it reads
  // "from".
  ColumnList columns;
  columns.emplace_back(first);
  bool saw_from = false;
  while (const char* t = tok.Next(kColumnDelimiters)) {
    if (EqualsIgnoreCase(t, "from")) {
      saw_from = true;
      break;
    }
    columns.emplace_back(t);
  }
  if (!saw_from) {
    Error("*E* keyword from expected after column list");
    return;
  }
  const char* table = ReadTableName(tok);
  if (table == nullptr) return;
  SelectColumnsFromClass(table, columns);
}

void RunSet(Tokenizer& tok) {
  const char* what = tok.Next(kCommandDelimiters);
  if (what != nullptr && EqualsIgnoreCase(what, "verbose")) {
    const char* value = tok.Next(kCommandDelimiters);
    if (value == nullptr) {
      Error("*E* expected on or off");
    } else if (tok.Next(kCommandDelimiters) != nullptr) {
      Error("*E* too many tokens for set verbose command");
    } else if (EqualsIgnoreCase(value, "on")) {
      Settings().verbose = true;
    } else if (EqualsIgnoreCase(value, "off")) {
      Settings().verbose = false;
    } else {
      Error("*E* expected on or off");
    }
  } else if (what != nullptr && EqualsIgnoreCase(what, "separator")) {
    const char* value = tok.Next(kCommandDelimiters);
    if (value == nullptr) {
      Error("*E* expected character or string");
    } else if (tok.Next(kCommandDelimiters) != nullptr) {
      // The separator reports extra tokens with the verbose setting's text.
      Error("*E* too many tokens for set verbose command");
    } else {
      Settings().separator = SeparatorFromToken(value);
    }
  } else {
    Error("*E* expected verbose, separator");
  }
}

}  // namespace

bool ExecuteCommand(const char* line) {
  const long long start = ElapsedMillisNow();
  ClearInterrupt();
  Tokenizer tok(line);
  if (const char* word = tok.Next(kCommandDelimiters)) {
    int command = -1;
    for (int i = 0; i < kCommandCount; ++i) {
      if (EqualsIgnoreCase(word, CommandTable[i])) {
        command = i;
        break;
      }
    }
    switch (command) {
      case 0: RunConnect(tok); break;
      case 1: RunDescr(tok); break;
      case 2:
      case 5: return true;  // exit, quit: stop at once, no timing line
      case 3:
      case 4: RunHelp(); break;
      case 6: RunSelect(tok); break;
      case 7: RunSet(tok); break;
      default: Error("*E* invalid command"); break;
    }
  }
  const long long end = ElapsedMillisNow();
  if (Settings().verbose) {
    out::Write("command took: ");
    out::Double(static_cast<double>(end - start) / 1000.0);
    out::Write(" sec");
    out::EndLine();
  }
  return false;
}
