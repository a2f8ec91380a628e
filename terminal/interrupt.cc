// The SIGINT flag and count, and the handler.
#include "terminal/interrupt.h"

#include <signal.h>

namespace {
volatile sig_atomic_t g_interrupted = 0;
volatile sig_atomic_t g_count = 0;  // written by the handler only

void OnInterrupt(int) {
  g_interrupted = 1;
  g_count = g_count + 1;
}
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

unsigned InterruptCount() { return static_cast<unsigned>(g_count); }

bool TakeInterrupt() {
  if (g_interrupted == 0) return false;
  g_interrupted = 0;
  return true;
}
