// MappedFile: a whole file mapped read-only into memory for the life of the
// object, with its descriptor kept open for reads that bypass the mapping
// and for telling whether the file changed since it was opened. A
// zero-length file is valid and maps nothing. The store's reader and the
// tools map files through it alone.
//
// Another process may shrink or rewrite the file while it is mapped. The
// mapping is guarded (platform/mapping_guard.h): a read past the file's new
// end sees zeros instead of raising SIGBUS, and Faulted() and Changed() say
// so.
#ifndef WQSQL_STORE_MAPPED_FILE_H_
#define WQSQL_STORE_MAPPED_FILE_H_

#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/mapping_guard.h"
#include "platform/status.h"

namespace wqstore {

class MappedFile {
 public:
  // How the mapping is going to be read.
  enum class Access {
    kRandom,      // pages come in as they are first read
    kLoad,        // every page is loaded when it is mapped
    kSequential,  // once, front to back: the kernel reads ahead
  };

  // Opens and maps `path` and sets *file. A failure says why, e.g. "cannot
  // open file: No such file or directory". Without `guard` the mapping is
  // read unguarded: a read past a shrunken end raises SIGBUS.
  static Status Open(const std::string& path, std::unique_ptr<MappedFile>* file, bool guard = true);
  // Maps the regular file open for reading on `fd`, whose fstat is `st`,
  // guarded, and sets *file, which then owns `fd` and closes it. When it
  // fails `fd` stays the caller's.
  static Status Map(int fd, const struct stat& st, Access access,
                    std::unique_ptr<MappedFile>* file);

  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Never null, also for an empty file.
  const unsigned char* data() const { return data_; }
  size_t size() const { return size_; }

  // Copies the bytes [offset, offset + length), which must lie inside the
  // file, to `buffer` with pread: for one sequential pass over a big file
  // this is cheaper than building and tearing down the page tables of the
  // mapping. Fails when the file shrank or cannot be read.
  Status ReadAt(uint64_t offset, void* buffer, size_t length) const;

  // Tells the kernel the file will be read front to back (ReadAt), so that
  // it reads ahead further. Only advice: nothing fails.
  void AdviseSequential() const;

  // True when the open file's size or modification time is no longer what
  // it was at Open, or its inode change time is while its link count is
  // the same, or a read of the mapping met a page the file no longer backs.
  // The change time cannot be set back, so a rewrite whose modification
  // time was put back is still seen; a change of links alone (the file
  // replaced by rename, unlinked or linked elsewhere) is not a change of
  // the open file. One fstat.
  bool Changed() const;
  // True once a read met a page the file no longer backs; no system call.
  bool Faulted() const { return guard_.Faulted(); }

 private:
  // What Open saw of the file, which Changed compares with.
  struct Stamp {
    timespec mtime;
    timespec ctime;
    nlink_t links;
  };

  // Map, guarded or not; Open's case too.
  static Status MapGuarded(int fd, const struct stat& st, Access access, bool guard,
                           std::unique_ptr<MappedFile>* file);

  MappedFile(const unsigned char* data, size_t size, void* base, int fd, const Stamp& stamp)
      : data_(data), size_(size), base_(base), fd_(fd), stamp_(stamp) {}

  const unsigned char* data_;
  size_t size_;
  void* base_;  // the mapping, or null for an empty file
  int fd_;
  Stamp stamp_;  // at Open
  MappingGuard guard_;
};

}  // namespace wqstore

#endif  // WQSQL_STORE_MAPPED_FILE_H_
