// AtomicFile: replaces a file as one step. The bytes go to a temporary file
// in the target's folder, which is synced and then renamed over the target,
// and the folder is synced to make the rename durable. Until the rename the
// target is untouched, and a temporary file that is never renamed is
// removed.
#ifndef WQSQL_STORE_ATOMIC_FILE_H_
#define WQSQL_STORE_ATOMIC_FILE_H_

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "platform/status.h"

namespace wqstore {

class AtomicFile {
 public:
  // Creates the temporary file that will replace `path`, with the mode a
  // new file would get.
  static Status Create(const std::string& path, std::unique_ptr<AtomicFile>* file);

  // Closes and removes the temporary file unless Commit renamed it.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  Status Append(const void* data, size_t n);

  // Syncs and closes the temporary file, renames it to the target and syncs
  // the target's folder. Call once, after the last Append.
  Status Commit();

 private:
  AtomicFile(std::string target, std::string folder, std::string temp, int fd)
      : target_(std::move(target)), folder_(std::move(folder)), temp_(std::move(temp)), fd_(fd) {}

  const std::string target_;
  const std::string folder_;  // the target's
  const std::string temp_;
  int fd_;  // -1 once closed
  bool renamed_ = false;
};

}  // namespace wqstore

#endif  // WQSQL_STORE_ATOMIC_FILE_H_
