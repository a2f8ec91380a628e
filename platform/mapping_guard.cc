// The guarded ranges and the SIGBUS handler. Ranges live in a fixed table
// of slots that the handler reads without locks (it runs inside a signal):
// a slot is claimed and released by atomic state changes, and the handler
// looks only at slots whose state says they are guarded.
#include "platform/mapping_guard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>

namespace {

constexpr int kSlots = 1024;

enum SlotState : int { kFree = 0, kChanging = 1, kGuarded = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  std::atomic<uintptr_t> begin{0};
  std::atomic<uintptr_t> end{0};  // rounded up to a whole page
  std::atomic<bool> faulted{false};
};

Slot g_slots[kSlots];
// Slots from here on have never been used: the handler stops here.
std::atomic<int> g_used{0};
std::atomic<uintptr_t> g_page{0};
// The SIGBUS action found when the handler was installed.
struct sigaction g_previous;

std::mutex& InstallLock() {
  static std::mutex* m = new std::mutex;  // never destroyed: guards may close during exit
  return *m;
}

// Hands the signal to the action that was there before, or ends the
// process as the default action would.
void ToPrevious(int sig, siginfo_t* info, void* context) {
  if ((g_previous.sa_flags & SA_SIGINFO) != 0) {
    g_previous.sa_sigaction(sig, info, context);
    return;
  }
  if (g_previous.sa_handler == SIG_IGN) return;
  if (g_previous.sa_handler == SIG_DFL) {
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    raise(sig);  // delivered when the handler returns
    return;
  }
  g_previous.sa_handler(sig);
}

void OnSigbus(int sig, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  // Only faults (si_code > 0) have an address; a SIGBUS sent by a process
  // goes on as it is.
  if (info != nullptr && info->si_code > 0) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(info->si_addr);
    const uintptr_t page_size = g_page.load(std::memory_order_relaxed);
    const int used = g_used.load(std::memory_order_acquire);
    for (int i = 0; i < used; ++i) {
      Slot& s = g_slots[i];
      if (s.state.load(std::memory_order_acquire) != kGuarded) continue;
      const uintptr_t end = s.end.load(std::memory_order_relaxed);
      if (at < s.begin.load(std::memory_order_relaxed) || at >= end) continue;
      // The file ends before this page, so it ends before every later page
      // of the range too: zeros over all of them at once.
      const uintptr_t page = at & ~(page_size - 1);
      void* zeros = mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                         MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (zeros == MAP_FAILED) break;
      s.faulted.store(true, std::memory_order_release);
      errno = saved_errno;
      return;  // the read runs again and finds zeros
    }
  }
  errno = saved_errno;
  ToPrevious(sig, info, context);
}

// Puts OnSigbus in place unless it is there already, keeping whatever was
// there for the addresses no guard holds. A handler someone else installed
// after ours is wrapped the same way at the next Guard.
void InstallHandler() {
  std::lock_guard<std::mutex> hold(InstallLock());
  if (g_page.load(std::memory_order_relaxed) == 0) {
    g_page.store(static_cast<uintptr_t>(sysconf(_SC_PAGESIZE)), std::memory_order_relaxed);
  }
  struct sigaction current;
  if (sigaction(SIGBUS, nullptr, &current) != 0) return;
  if ((current.sa_flags & SA_SIGINFO) != 0 && current.sa_sigaction == OnSigbus) return;
  struct sigaction ours {};
  ours.sa_sigaction = OnSigbus;
  sigemptyset(&ours.sa_mask);
  ours.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
  g_previous = current;
  sigaction(SIGBUS, &ours, nullptr);
}

}  // namespace

bool MappingGuard::Guard(const void* begin, size_t length) {
  Release();
  if (length == 0) return true;  // nothing mapped, nothing to fault
  InstallHandler();
  const uintptr_t page_size = g_page.load(std::memory_order_relaxed);
  const uintptr_t b = reinterpret_cast<uintptr_t>(begin);
  const uintptr_t e = b + ((length + page_size - 1) & ~(page_size - 1));
  for (int i = 0; i < kSlots; ++i) {
    Slot& s = g_slots[i];
    int expected = kFree;
    if (!s.state.compare_exchange_strong(expected, kChanging, std::memory_order_acq_rel)) continue;
    s.begin.store(b, std::memory_order_relaxed);
    s.end.store(e, std::memory_order_relaxed);
    s.faulted.store(false, std::memory_order_relaxed);
    int used = g_used.load(std::memory_order_relaxed);
    while (used < i + 1 && !g_used.compare_exchange_weak(used, i + 1, std::memory_order_acq_rel)) {
    }
    s.state.store(kGuarded, std::memory_order_release);
    slot_ = i;
    return true;
  }
  return false;
}

void MappingGuard::Release() {
  if (slot_ < 0) return;
  Slot& s = g_slots[slot_];
  s.state.store(kChanging, std::memory_order_release);
  s.faulted.store(false, std::memory_order_relaxed);
  s.state.store(kFree, std::memory_order_release);
  slot_ = -1;
}

bool MappingGuard::Faulted() const {
  return slot_ >= 0 && g_slots[slot_].faulted.load(std::memory_order_acquire);
}
