// The line editor on a terminal: GNU readline through its callback
// interface, so that the console's own read loop sees Ctrl-C, Ctrl-Z, the
// return to the foreground and window size changes as they happen.
#include "shell/console_input.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/select.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <readline/history.h>
#include <readline/readline.h>

#include "shell/completion.h"
#include "shell/console_paste.h"
#include "shell/console_signals.h"
#include "shell/file_completion.h"
#include "shell/pager.h"
#include "store/names.h"
#include "terminal/interrupt.h"

namespace {

constexpr int kHistoryLines = 1000;

bool g_active = false;
std::string g_history_path;  // empty: no history file
int g_added = 0;             // lines this session wrote to the history file

// State of one ConsoleReadLine call, filled by the line handler.
std::string* g_line = nullptr;
bool g_done = false;
bool g_eof = false;
bool g_too_long = false;

// Candidates of the current completion, handed out one by one.
std::vector<std::string> g_candidates;
size_t g_next = 0;

char* NextCandidate(const char*, int state) {
  if (state == 0) g_next = 0;
  if (g_next >= g_candidates.size()) return nullptr;
  return strdup(g_candidates[g_next++].c_str());
}

char** Complete(const char* text, int start, int /*end*/) {
  bool files = false;
  g_candidates = CompletionCandidates(rl_line_buffer, static_cast<size_t>(start), text, &files);
  if (files) {
    std::vector<std::string> names = FileNameCandidates(text);
    g_candidates.insert(g_candidates.end(), names.begin(), names.end());
  }
  // Only these candidates: the editor's own file names would keep "~" and
  // offer names with blanks, which connect cannot take.
  rl_attempted_completion_over = 1;
  // Folders get their "/", and a list shows the last part of each path.
  rl_filename_completion_desired = files ? 1 : 0;
  if (g_candidates.empty()) return nullptr;
  return rl_completion_matches(text, NextCandidate);
}

char* WordBreaks() {
  return const_cast<char*>(CompletionWordBreaks(std::string(rl_line_buffer, rl_point)));
}

// WQSQL_HISTORY when set (empty: none), else ~/.wqsql_history.
std::string HistoryPath() {
  if (const char* own = getenv("WQSQL_HISTORY")) return own;
  const char* home = getenv("HOME");
  if (home == nullptr || home[0] == '\0') return "";
  return std::string(home) + "/.wqsql_history";
}

// Each line goes to the file as it is entered, in one write at the file's
// end: a session that ends by a signal keeps its lines, and sessions running
// at the same time add theirs between each other's. Quiet when the file
// cannot be written.
void AppendToHistoryFile(const std::string& line) {
  if (g_history_path.empty()) return;
  const int fd = open(g_history_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const std::string entry = line + "\n";
  if (write(fd, entry.data(), entry.size()) == static_cast<ssize_t>(entry.size())) ++g_added;
  close(fd);
}

void OnLine(char* text) {
  if (text == nullptr) {
    g_eof = true;
  } else if (g_too_long || std::strlen(text) > kMaxLineBytes) {
    g_too_long = true;
    free(text);
  } else {
    g_line->assign(text);
    if (text[0] != '\0') {
      add_history(text);
      AppendToHistoryFile(*g_line);
    }
    free(text);
  }
  g_done = true;
  rl_callback_handler_remove();
}

// Ctrl-C at the prompt: drop what was typed and show a fresh prompt.
void DiscardLine() {
  g_too_long = false;
  rl_free_line_state();
  rl_callback_sigcleanup();
  rl_replace_line("", 0);
  rl_crlf();
  rl_on_new_line();
  rl_redisplay();
}

// After the shell was stopped and taken back to the foreground: the
// terminal settings of the editor again, then the prompt and the line as
// they were, from the start of the cursor's line.
void RedrawAfterStop() {
  rl_reset_after_signal();
  fputc('\r', rl_outstream);
  rl_forced_update_display();
}

// Ctrl-Z: back to the terminal's own settings, stop, and on return redraw.
void StopAtPrompt() {
  rl_echo_signal_char(SIGTSTP);
  rl_cleanup_after_signal();
  StopShellProcess();
  RedrawAfterStop();
}

// Continued after a stop the console did not see coming (SIGSTOP): the
// terminal may have been set up for another program meanwhile.
void ResumeAtPrompt() {
  if (rl_deprep_term_function != nullptr) rl_deprep_term_function();
  RedrawAfterStop();
}

// Waits for a keystroke and hands it to the editor, acting on the signals
// that came meanwhile. False on a read error, which ends the input.
bool WaitAndRead(const sigset_t& waiting) {
  fd_set fds;
  FD_ZERO(&fds);
  FD_SET(STDIN_FILENO, &fds);
  const int r = pselect(STDIN_FILENO + 1, &fds, nullptr, nullptr, nullptr, &waiting);
  if (r < 0 && errno != EINTR) return false;
  if (TakeStopRequest()) StopAtPrompt();
  if (TakeContinued()) ResumeAtPrompt();
  if (TakeWindowResized()) rl_resize_terminal();
  if (InterruptRequested()) {
    ClearInterrupt();
    DiscardLine();
  }
  if (r > 0) rl_callback_read_char();
  if (!g_done && rl_end > static_cast<int>(kMaxLineBytes)) DropLineTooLong();
  return true;
}

}  // namespace

bool ConsoleInit() {
  if (isatty(STDIN_FILENO) != 1 || isatty(STDOUT_FILENO) != 1) return false;
  g_active = true;
  rl_readline_name = "wqsql";
  rl_catch_signals = 0;  // the console's read loop handles them
  rl_catch_sigwinch = 0;
  // LINES and COLUMNS stay as they are: a pager reading them would not
  // follow the window when it changes size.
  rl_change_environment = 0;
  rl_attempted_completion_function = Complete;
  rl_completion_word_break_hook = WordBreaks;
  rl_basic_word_break_characters = const_cast<char*>(wqstore::kColumnDelimiters);
  rl_variable_bind("completion-ignore-case", "on");  // file names too
  rl_initialize();  // reads the init file; the paste binding comes after it
  BindPaste();
  stifle_history(kHistoryLines);
  g_history_path = HistoryPath();
  if (!g_history_path.empty()) {
    read_history(g_history_path.c_str());  // may not exist yet
    // Sessions that ended by a signal did not cut the file back.
    history_truncate_file(g_history_path.c_str(), kHistoryLines);
  }
  InstallInterruptHandler();
  InstallConsoleSignals();
  InstallPager();
  return true;
}

bool ConsoleActive() { return g_active; }

void DropLineTooLong() {
  g_too_long = true;
  rl_replace_line("", 1);
  rl_redisplay();
}

LineRead ConsoleReadLine(const char* prompt, std::string* line) {
  line->clear();
  g_line = line;
  g_done = false;
  g_eof = false;
  g_too_long = false;
  sigset_t waiting;
  EnterPrompt(&waiting);
  ClearInterrupt();
  // Whatever happened to the window or the process while a command ran.
  if (TakeWindowResized()) rl_reset_screen_size();
  TakeContinued();

  rl_callback_handler_install(prompt, OnLine);
  std::string pasted;
  if (TakePastedLine(&pasted)) {
    // The next line of a paste, shown and accepted as if typed; one that is
    // too long is not shown.
    if (pasted.size() > kMaxLineBytes) {
      g_too_long = true;
    } else {
      rl_insert_text(pasted.c_str());
    }
    rl_redisplay();
    rl_execute_next('\n');
    rl_callback_read_char();
  } else if (TakePastedRest(&pasted)) {
    if (pasted.size() > kMaxLineBytes) {
      g_too_long = true;
    } else {
      rl_insert_text(pasted.c_str());
    }
    rl_redisplay();
  }
  while (!g_done) {
    if (!WaitAndRead(waiting)) {
      g_eof = true;
      rl_callback_handler_remove();
      break;
    }
  }
  LeavePrompt();
  g_line = nullptr;
  if (g_eof) return LineRead::kEnd;
  return g_too_long ? LineRead::kTooLong : LineRead::kLine;
}

void ConsoleShutdown() {
  if (!g_active || g_history_path.empty() || g_added == 0) return;
  // The lines are in the file already; keep its last 1,000.
  history_truncate_file(g_history_path.c_str(), kHistoryLines);
}
