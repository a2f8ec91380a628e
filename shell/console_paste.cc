// The bracketed-paste reader bound in the editor, and the queue of pasted
// lines still to run.
#include "shell/console_paste.h"

#include <stdio.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include <readline/readline.h>

#include "shell/console_input.h"
#include "shell/line_reader.h"
#include "terminal/interrupt.h"

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

// Cuts text at its line ends as it comes, one byte at a time, keeping at
// most kMaxLineBytes + 1 bytes of each piece.
class LineSplitter {
 public:
  void Add(char c) {
    if (c == '\n' && after_cr_) {  // the LF of a CR LF
      after_cr_ = false;
      return;
    }
    after_cr_ = c == '\r';
    if (c == '\r' || c == '\n') {
      pieces_.emplace_back();
    } else if (pieces_.back().size() <= kMaxLineBytes) {
      pieces_.back().push_back(c);
    }
  }
  std::vector<std::string> Take() { return std::move(pieces_); }

 private:
  std::vector<std::string> pieces_ = std::vector<std::string>(1);
  bool after_cr_ = false;
};

// The pasted text up to the end marker, read key by key without running
// any key's binding, cut into lines.
std::vector<std::string> ReadPastedLines() {
  const std::string end = kPasteEnd;
  LineSplitter lines;
  std::string held;  // what may be the start of the end marker
  for (;;) {
    const int c = rl_read_key();
    if (c < 0) break;  // end of input or a read error
    if (c == 0) continue;
    held.push_back(static_cast<char>(c));
    if (held == end) {
      held.clear();
      break;
    }
    // The marker starts with its only ESC: what does not begin it is text.
    while (!held.empty() && end.compare(0, held.size(), held) != 0) {
      lines.Add(held.front());
      held.erase(0, 1);
    }
  }
  for (char c : held) lines.Add(c);  // input ended inside what looked like the marker
  return lines.Take();
}

int OnPaste(int /*count*/, int /*key*/) {
  std::vector<std::string> pieces = ReadPastedLines();
  if (pieces.front().size() > kMaxLineBytes) {
    DropLineTooLong();
  } else {
    rl_insert_text(pieces.front().c_str());
  }
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
  LineSplitter lines;
  for (char c : text) lines.Add(c);
  return lines.Take();
}
