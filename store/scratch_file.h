// ScratchFile: an unnamed temporary file for bytes that do not fit in
// memory, opened for reading and writing and gone when it is closed. It is
// made in the folder of a given path, so that it lies on the file system the
// bytes are bound for, or in the temporary folder when that folder cannot
// hold one.
#ifndef WQSQL_STORE_SCRATCH_FILE_H_
#define WQSQL_STORE_SCRATCH_FILE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/status.h"

namespace wqstore {

class ScratchFile {
 public:
  // Opens a scratch file in the folder of `near_path` (unless it is empty),
  // else in $TMPDIR, else in /tmp. A file system without unnamed files gets a named one, removed
  // at once.
  static Status Create(const std::string& near_path, std::unique_ptr<ScratchFile>* file);

  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Writes or reads exactly `n` bytes at `offset`. Reading past what was
  // written fails.
  Status WriteAt(uint64_t offset, const void* data, size_t n);
  Status ReadAt(uint64_t offset, void* data, size_t n) const;

  int fd() const { return fd_; }

 private:
  ScratchFile(int fd, std::string folder) : fd_(fd), folder_(std::move(folder)) {}
  int fd_;
  std::string folder_;  // as messages show it
};

}  // namespace wqstore

#endif  // WQSQL_STORE_SCRATCH_FILE_H_
