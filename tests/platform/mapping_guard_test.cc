// The SIGBUS guard of file mappings: a read of a guarded mapping past the
// end of a file that shrank sees zeros and marks the range, while a SIGBUS
// anywhere else goes to the handler the process had before, or ends it.
#include "platform/mapping_guard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/support/test_util.h"

namespace {

using wqtest::TempFolder;

// A file of `pages` pages of 'x' mapped read-only; unmapped when it goes.
struct MappedPages {
  MappedPages(const std::string& file, size_t pages)
      : path(file), length(pages * static_cast<size_t>(sysconf(_SC_PAGESIZE))) {
    wqtest::WriteFile(path, std::string(length, 'x'));
    const int fd = open(path.c_str(), O_RDONLY);
    base = static_cast<const volatile char*>(mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0));
    close(fd);
  }
  ~MappedPages() { munmap(const_cast<char*>(base), length); }
  void Truncate(size_t bytes) const { EXPECT_EQ(truncate(path.c_str(), bytes), 0); }

  std::string path;
  size_t length;
  const volatile char* base;
};

TEST(MappingGuard, ReadsPastTheNewEndSeeZeros) {
  const TempFolder folder;
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  struct Case {
    size_t pages;
    size_t cut;   // bytes left in the file
    size_t read;  // offset read after the cut
  };
  const Case cases[] = {
      {1, 0, 0}, {3, 0, page + 5}, {3, page, 2 * page + 7}, {4, page + 10, 3 * page}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.pages) + " pages cut to " + std::to_string(c.cut));
    const MappedPages m(folder.File("f"), c.pages);
    MappingGuard guard;
    ASSERT_TRUE(guard.Guard(const_cast<const char*>(m.base), m.length));
    EXPECT_EQ(m.base[c.read], 'x');
    EXPECT_FALSE(guard.Faulted());
    m.Truncate(c.cut);
    EXPECT_EQ(m.base[c.read], 0);
    EXPECT_EQ(m.base[m.length - 1], 0);  // every later page too
    EXPECT_TRUE(guard.Faulted());
    if (c.cut >= page) {
      EXPECT_EQ(m.base[0], 'x');  // the pages still backed read on
    }
    guard.Release();
    EXPECT_FALSE(guard.Faulted());
  }
}

// An own SIGBUS handler for a mapping of the process's own: it skips the
// faulting read by mapping zeros itself and counts.
volatile sig_atomic_t g_own_calls = 0;
void OwnHandler(int, siginfo_t* info, void*) {
  g_own_calls = g_own_calls + 1;
  const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  const uintptr_t at = reinterpret_cast<uintptr_t>(info->si_addr) & ~(page - 1);
  mmap(reinterpret_cast<void*>(at), page, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1,
       0);
}

// In a child process: the process's own handler stays in charge of its own
// mapping after a guard is put in place, and the guard of its range.
void OwnHandlerKeepsItsFaults(const std::string& folder) {
  struct sigaction own {};
  own.sa_sigaction = OwnHandler;
  sigemptyset(&own.sa_mask);
  own.sa_flags = SA_SIGINFO;
  sigaction(SIGBUS, &own, nullptr);

  const MappedPages mine(folder + "/mine", 2);
  const MappedPages guarded(folder + "/guarded", 2);
  MappingGuard guard;
  if (!guard.Guard(const_cast<const char*>(guarded.base), guarded.length)) std::exit(2);
  mine.Truncate(0);
  guarded.Truncate(0);
  if (mine.base[0] != 0 || g_own_calls != 1) std::exit(3);
  if (guard.Faulted()) std::exit(4);  // not its range
  if (guarded.base[0] != 0 || g_own_calls != 1 || !guard.Faulted()) std::exit(5);
  std::exit(0);
}

// In a child process: a fault outside every guarded range ends the process
// as it would without the guard.
void UnguardedFaultStillEnds(const std::string& folder) {
  const MappedPages guarded(folder + "/guarded", 1);
  MappingGuard guard;
  guard.Guard(const_cast<const char*>(guarded.base), guarded.length);
  const MappedPages other(folder + "/other", 1);
  other.Truncate(0);
  std::exit(other.base[0] == 0 ? 0 : 1);  // never gets here
}

TEST(MappingGuard, OtherFaultsGoWhereTheyWentBefore) {
  const TempFolder folder;
  EXPECT_EXIT(OwnHandlerKeepsItsFaults(folder.path()), testing::ExitedWithCode(0), "");
  // Killed by SIGBUS, or reported and ended by a sanitizer's handler.
  EXPECT_EXIT(
      UnguardedFaultStillEnds(folder.path()),
      [](int status) { return !(WIFEXITED(status) && WEXITSTATUS(status) == 0); }, "");
}

}  // namespace
