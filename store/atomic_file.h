// AtomicFile: replaces a file as one step. The bytes go to a temporary file
// in the target's folder, which is synced, given a name and renamed over the
// target, and the folder is synced to make the rename durable. Until the
// rename the target is untouched.
//
// The temporary file is unnamed (O_TMPFILE) where the file system allows it,
// so a process killed while writing leaves nothing behind; it gets a name
// only for the moment between link and rename. Elsewhere it is a named file
// "wq-XXXXXX.tmp" from the start, removed when the commit does not happen,
// but left behind when the process is killed.
//
// A symbolic link at the target is followed: the file it names is replaced
// and the link stays a link. As the kernel does for its own opens, a link
// in a sticky world-writable folder (/tmp) that belongs neither to the
// folder's owner nor to the user running the process is refused. An existing target keeps its
// permission bits and, where the process may set them, its owner and group; a new one gets 0666
// less the umask. A target that exists and is not a regular file, or that the process may not
// write, is refused and left alone.
#ifndef WQSQL_STORE_ATOMIC_FILE_H_
#define WQSQL_STORE_ATOMIC_FILE_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/status.h"

namespace wqstore {

class AtomicFile {
 public:
  // Checks the target `path` and creates the temporary file that will
  // replace it.
  static Status Create(const std::string& path, std::unique_ptr<AtomicFile>* file);

  // Closes the temporary file, and removes it when it has a name and Commit
  // did not rename it.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  Status Append(const void* data, size_t n);
  // Overwrites bytes already appended, from `offset`.
  Status WriteAt(uint64_t offset, const void* data, size_t n);

  // Syncs and closes the temporary file, renames it to the target and syncs
  // the target's folder. Call once, after the last Append.
  Status Commit();

  // True while the temporary file has no name in the folder.
  bool unnamed() const { return unnamed_ && temp_.empty() && !renamed_; }

 private:
  AtomicFile() = default;
  // Gives the unnamed file a name in the folder: the target's own when there
  // is none yet, otherwise a temporary one.
  Status Link();
  // "the temporary file in FOLDER" or its name, for messages.
  std::string TempLabel() const;
  // OK, or the failure of a write with errno `err`.
  Status Written(int err) const;

  std::string target_;   // the file replaced, symbolic links followed
  std::string folder_;   // the target's
  std::string temp_;     // the temporary file's name; empty while unnamed
  bool exists_ = false;  // the target existed when the file was created
  int fd_ = -1;          // -1 once closed
  bool unnamed_ = false;
  bool renamed_ = false;
  // Bytes appended, and those the disk was asked to write so far.
  static constexpr uint64_t kWritebackStep = uint64_t{64} << 20;
  uint64_t appended_ = 0;
  uint64_t written_back_ = 0;
};

}  // namespace wqstore

#endif  // WQSQL_STORE_ATOMIC_FILE_H_
