// The SIGINT flag, its handler and the report of an interrupted command.
#include "platform/interrupt.h"

#include <signal.h>

#include "platform/output.h"

namespace {
volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }
}  // namespace

void InstallInterruptHandler() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: a blocked read or select returns EINTR
  sigaction(SIGINT, &sa, nullptr);
}

bool InterruptRequested() { return g_interrupted != 0; }

void ClearInterrupt() { g_interrupted = 0; }

void ReportInterrupted() {
  g_interrupted = 0;
  out::Write("*E* interrupted");
  out::EndLine();
}
