// The bracketed-paste reader bound in the editor, and the queue of pasted
// lines still to run.
#include "shell/console_paste.h"

#include <stdio.h>

#include <deque>

#include <readline/readline.h>

#include "platform/interrupt.h"

namespace {

// What the terminal sends around pasted text.
constexpr char kPasteStart[] = "\033[200~";
constexpr char kPasteEnd[] = "\033[201~";

std::deque<std::string> g_lines;  // complete lines still to run
std::string g_rest;               // after the last line end
unsigned g_interrupts = 0;        // InterruptCount() at the paste

// Ctrl-C since the paste drops whatever of it has not run yet.
void DropIfInterrupted() {
  if (InterruptCount() == g_interrupts) return;
  g_lines.clear();
  g_rest.clear();
}

// The pasted text up to the end marker, read key by key without running
// any key's binding.
std::string ReadPastedText() {
  const std::string end = kPasteEnd;
  std::string text;
  for (;;) {
    const int c = rl_read_key();
    if (c < 0) break;  // end of input or a read error
    if (c == 0) continue;
    text.push_back(static_cast<char>(c));
    if (text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0) {
      text.resize(text.size() - end.size());
      break;
    }
  }
  return text;
}

int OnPaste(int /*count*/, int /*key*/) {
  std::vector<std::string> pieces = SplitPastedLines(ReadPastedText());
  rl_insert_text(pieces.front().c_str());
  if (pieces.size() == 1) return 0;
  g_lines.assign(pieces.begin() + 1, pieces.end() - 1);
  g_rest = pieces.back();
  g_interrupts = InterruptCount();
  // The first line ends here: show it and accept it, as Enter would.
  rl_redisplay();
  return rl_newline(1, '\n');
}

}  // namespace

void BindPaste() {
  rl_bind_keyseq_in_map(kPasteStart, OnPaste, emacs_standard_keymap);
  rl_bind_keyseq_in_map(kPasteStart, OnPaste, vi_insertion_keymap);
}

bool TakePastedLine(std::string* line) {
  DropIfInterrupted();
  if (g_lines.empty()) return false;
  *line = std::move(g_lines.front());
  g_lines.pop_front();
  return true;
}

bool TakePastedRest(std::string* text) {
  DropIfInterrupted();
  if (!g_lines.empty() || g_rest.empty()) return false;
  *text = std::move(g_rest);
  g_rest.clear();
  return true;
}

std::vector<std::string> SplitPastedLines(const std::string& text) {
  std::vector<std::string> pieces(1);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      pieces.emplace_back();
    } else {
      pieces.back().push_back(c);
    }
  }
  return pieces;
}
