// Completion candidates from the command table, the grammar's keywords and
// the connected repository's catalogue.
#include "shell/completion.h"

#include <unordered_set>
#include <utility>

#include "platform/ascii.h"
#include "repository/connection.h"
#include "shell/command_table.h"
#include "shell/keywords.h"
#include "shell/tokenizer.h"

namespace {

std::vector<std::string> Tokens(const std::string& text) {
  std::vector<std::string> tokens;
  Tokenizer tok(text.c_str());
  while (const char* t = tok.Next(kColumnDelimiters)) tokens.emplace_back(t);
  return tokens;
}

void AddClassNames(std::vector<std::string>* words) {
  if (!IsConnected()) return;
  awq_autovector<awq_Class> classes = Connection().database->GetClassDefs();
  for (const awq_Class& c : classes) words->emplace_back(c.GetName());
}

void AddMemberNames(const std::string& class_name, std::vector<std::string>* words) {
  if (!IsConnected() || class_name.empty()) return;
  const awq_Class cls = Connection().database->FindClassDef(class_name.c_str());
  if (cls.IsEmpty()) return;
  awq_autovector<awq_ClassProperty> members = cls.GetMembers();
  for (const awq_ClassProperty& m : members) words->emplace_back(m.GetName());
}

// The member names of every class, each once: a name that differs from an
// earlier one only in the case of A to Z is left out.
void AddAllMemberNames(std::vector<std::string>* words) {
  if (!IsConnected()) return;
  std::unordered_set<std::string> seen;
  awq_autovector<awq_Class> classes = Connection().database->GetClassDefs();
  for (const awq_Class& c : classes) {
    awq_autovector<awq_ClassProperty> members = c.GetMembers();
    for (const awq_ClassProperty& m : members) {
      std::string folded = m.GetName();
      for (char& ch : folded) ch = AsciiLower(ch);
      if (seen.insert(std::move(folded)).second) words->emplace_back(m.GetName());
    }
  }
}

// The words of a select at `start`: after "from" the tables; in the column
// list the members of the class named after "from" further along the line,
// or of every class while no class is named, and the keyword itself once a
// column was typed. After "*" only the keyword.
void AddSelectWords(const std::string& line, size_t start, const std::vector<std::string>& before,
                    std::vector<std::string>* words) {
  bool after_from = false;
  for (size_t i = 1; i < before.size(); ++i) {
    if (EqualsIgnoreCase(before[i], keyword::kFrom)) after_from = true;
  }
  if (EqualsIgnoreCase(before.back(), keyword::kFrom)) {
    AddClassNames(words);
    words->emplace_back(keyword::kClassesTableName);
    words->emplace_back(keyword::kClassStatsTableName);
  } else if (!after_from) {
    const bool all_columns = before.size() > 1 && before[1] == keyword::kAllColumns;
    const std::vector<std::string> rest = Tokens(line.substr(start));
    bool named = false;
    for (size_t i = 0; i + 1 < rest.size() && !all_columns; ++i) {
      if (EqualsIgnoreCase(rest[i], keyword::kFrom)) {
        AddMemberNames(rest[i + 1], words);
        named = true;
        break;
      }
    }
    if (!named && !all_columns) AddAllMemberNames(words);
    if (before.size() > 1) words->emplace_back(keyword::kFrom);
  }
}

// Every word that may stand at `start`, whatever its prefix.
std::vector<std::string> WordsAt(const std::string& line, size_t start, bool* files) {
  const std::vector<std::string> before = Tokens(line.substr(0, start));
  std::vector<std::string> words;
  if (before.empty()) {
    for (const Command& c : CommandTable) words.emplace_back(c.word);
    return words;
  }
  const Command* command = FindCommand(before[0].c_str());
  if (command == nullptr) return words;
  if (command->run == RunConnect) {
    // connect [to] path, and nothing after the path.
    if (before.size() == 1) words.emplace_back(keyword::kTo);
    *files =
        before.size() == 1 || (before.size() == 2 && EqualsIgnoreCase(before[1], keyword::kTo));
  } else if (command->run == RunDescr) {
    if (before.size() == 1) AddClassNames(&words);
  } else if (command->run == RunSet) {
    if (before.size() == 1) {
      words = {keyword::kVerbose, keyword::kSeparator};
    } else if (before.size() == 2 && EqualsIgnoreCase(before.back(), keyword::kVerbose)) {
      words = {keyword::kOn, keyword::kOff};
    }
  } else if (command->run == RunSelect) {
    AddSelectWords(line, start, before, &words);
  }
  return words;
}

}  // namespace

std::vector<std::string> CompletionCandidates(const std::string& line, size_t start,
                                              const std::string& prefix, bool* files) {
  *files = false;
  std::vector<std::string> matches;
  for (std::string& w : WordsAt(line, start, files)) {
    if (StartsWithIgnoreCase(w, prefix)) matches.push_back(std::move(w));
  }
  return matches;
}

const char* CompletionWordBreaks(const std::string& before_point) {
  const std::vector<std::string> tokens = Tokens(before_point);
  if (!tokens.empty()) {
    const Command* command = FindCommand(tokens[0].c_str());
    if (command != nullptr && command->run == RunConnect) return kCommandDelimiters;
  }
  return kColumnDelimiters;
}
