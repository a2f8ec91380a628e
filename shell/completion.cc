// Completion candidates from the command grammar and the connected
// repository's catalogue.
#include "shell/completion.h"

#include "repository/connection.h"
#include "shell/shell.h"
#include "platform/ascii.h"
#include "shell/tokenizer.h"

namespace {

bool StartsWithIgnoreCase(const std::string& word, const std::string& prefix) {
  if (prefix.size() > word.size()) return false;
  return EqualsIgnoreCase(word.substr(0, prefix.size()).c_str(), prefix.c_str());
}

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

}  // namespace

std::vector<std::string> CompletionCandidates(const std::string& line, size_t start,
                                              const std::string& prefix, bool* files) {
  *files = false;
  const std::vector<std::string> before = Tokens(line.substr(0, start));
  std::vector<std::string> words;
  if (before.empty()) {
    for (const char* w : CommandTable) words.emplace_back(w);
  } else {
    const char* command = before[0].c_str();
    const char* last = before.back().c_str();
    if (EqualsIgnoreCase(command, "connect")) {
      if (before.size() == 1) words.emplace_back("to");
      *files = true;
    } else if (EqualsIgnoreCase(command, "descr")) {
      if (before.size() == 1) AddClassNames(&words);
    } else if (EqualsIgnoreCase(command, "set")) {
      if (before.size() == 1) {
        words = {"verbose", "separator"};
      } else if (before.size() == 2 && EqualsIgnoreCase(last, "verbose")) {
        words = {"on", "off"};
      }
    } else if (EqualsIgnoreCase(command, "select")) {
      bool after_from = false;
      for (size_t i = 1; i < before.size(); ++i) {
        if (EqualsIgnoreCase(before[i].c_str(), "from")) after_from = true;
      }
      if (EqualsIgnoreCase(last, "from")) {
        AddClassNames(&words);
        words.emplace_back("sys$tables");
        words.emplace_back("sys$tablestats");
      } else if (!after_from) {
        // In the column list: the members of the class named after "from"
        // further along the line, and the keyword itself.
        const std::vector<std::string> rest = Tokens(line.substr(start));
        for (size_t i = 0; i + 1 < rest.size(); ++i) {
          if (EqualsIgnoreCase(rest[i].c_str(), "from")) {
            AddMemberNames(rest[i + 1], &words);
            break;
          }
        }
        if (before.size() > 1) words.emplace_back("from");
      }
    }
  }
  std::vector<std::string> matches;
  for (const std::string& w : words) {
    if (StartsWithIgnoreCase(w, prefix)) matches.push_back(w);
  }
  return matches;
}
