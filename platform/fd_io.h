// Reads and writes of file descriptors, each retried when a signal
// interrupts it (EINTR) and continued until every byte is through. Every
// read or write loop of the project goes through these, and new code uses
// them rather than a loop of its own; only code that must see an
// interruption (the console's and the pager's waits, which Ctrl-C ends, and
// the interrupt flag) handles EINTR itself.
#ifndef WQSQL_PLATFORM_FD_IO_H_
#define WQSQL_PLATFORM_FD_IO_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// Writes `n` bytes at `offset`, or at the file's position when `offset` is
// negative. Returns 0, or the errno of the failure.
int WriteFully(int fd, const void* data, size_t n, int64_t offset = -1);

// Reads `n` bytes at `offset`. Returns 0, the errno of the failure, or -1
// when the file ends first; `stopped_at`, when given, receives the offset
// of the failure or of the end.
int ReadFully(int fd, void* data, size_t n, uint64_t offset, uint64_t* stopped_at = nullptr);

// One read of up to `n` bytes at the file's position, as read(2): the bytes
// read, 0 at the end, or -1 with errno set.
ssize_t ReadSome(int fd, void* data, size_t n);

// Fills `data` with `n` bytes from the kernel's random source. Returns
// false when it cannot (no such call, as on old kernels and in some
// sandboxes).
bool ReadRandom(void* data, size_t n);

#endif  // WQSQL_PLATFORM_FD_IO_H_
