// Flags for SIGWINCH, SIGTSTP and SIGCONT, the signal mask of the prompt,
// and the stop of the shell on Ctrl-Z.
#include "shell/console_signals.h"

#include <time.h>

namespace {

volatile sig_atomic_t g_resized = 0;
volatile sig_atomic_t g_stop = 0;
volatile sig_atomic_t g_continued = 0;

sigset_t g_saved_mask;
// Ctrl-Z as the shell was started with it: ignored by a parent without job
// control, where stopping would leave nobody to continue the shell.
struct sigaction g_stop_disposition;
bool g_stop_ignored = false;

void OnResize(int) { g_resized = 1; }
void OnStop(int) { g_stop = 1; }
void OnContinue(int) { g_continued = 1; }

void Catch(int sig, void (*handler)(int)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  // pselect is never restarted; everything else the shell does between
  // prompts is, so that a resize does not fail a write.
  sa.sa_flags = SA_RESTART;
  sigaction(sig, &sa, nullptr);
}

void Default(int sig) {
  struct sigaction sa {};
  sa.sa_handler = SIG_DFL;
  sigemptyset(&sa.sa_mask);
  sigaction(sig, &sa, nullptr);
}

bool Take(volatile sig_atomic_t* flag) {
  const bool set = *flag != 0;
  *flag = 0;
  return set;
}

}  // namespace

void InstallConsoleSignals() {
  Catch(SIGWINCH, OnResize);
  Catch(SIGCONT, OnContinue);
  sigaction(SIGTSTP, nullptr, &g_stop_disposition);
  g_stop_ignored = g_stop_disposition.sa_handler == SIG_IGN;
}

void EnterPrompt(sigset_t* waiting) {
  sigset_t block;
  sigemptyset(&block);
  sigaddset(&block, SIGINT);
  sigaddset(&block, SIGWINCH);
  sigaddset(&block, SIGTSTP);
  sigaddset(&block, SIGCONT);
  sigprocmask(SIG_BLOCK, &block, &g_saved_mask);
  *waiting = g_saved_mask;
  g_stop = 0;
  if (!g_stop_ignored) Catch(SIGTSTP, OnStop);
}

void LeavePrompt() {
  sigaction(SIGTSTP, &g_stop_disposition, nullptr);
  sigprocmask(SIG_SETMASK, &g_saved_mask, nullptr);
}

bool TakeWindowResized() { return Take(&g_resized); }
bool TakeStopRequest() { return Take(&g_stop); }
bool TakeContinued() { return Take(&g_continued); }

void StopShellProcess() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  Default(SIGTSTP);
  raise(SIGTSTP);                            // pending while blocked
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);  // the shell stops here
  sigprocmask(SIG_BLOCK, &stop, nullptr);
  Catch(SIGTSTP, OnStop);

  sigset_t cont;
  sigemptyset(&cont);
  sigaddset(&cont, SIGCONT);
  const struct timespec now {};
  while (sigtimedwait(&cont, nullptr, &now) == SIGCONT) {
  }
  g_continued = 0;
}
