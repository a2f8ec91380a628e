// ScratchFile: O_TMPFILE where the file system has it, otherwise a named
// file unlinked as soon as it exists; pread and pwrite for the rest.
#include "store/scratch_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/fd_io.h"
#include "platform/text.h"
#include "store/file_io.h"

namespace wqstore {
namespace {

// An open scratch file in `folder`, or -1 with errno set.
int OpenIn(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  std::string name = folder + "/wq-XXXXXX.tmp";
  fd = ::mkostemps(&name[0], 4, O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return fd;
}

}  // namespace

Status ScratchFile::Create(const std::string& near_path, std::unique_ptr<ScratchFile>* file) {
  std::string folders[3] = {near_path.empty() ? "" : FolderOf(near_path), "", "/tmp"};
  if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') folders[1] = tmp;
  int first_error = 0;
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    const int fd = OpenIn(folder);
    if (fd >= 0) {
      file->reset(new ScratchFile(fd, ShownPath(folder)));
      return Status::OK();
    }
    if (first_error == 0) first_error = errno;
  }
  return Status::Error("cannot create a scratch file in " +
                       ShownPath(folders[0].empty() ? std::string("/tmp") : folders[0]) + ": " +
                       ErrnoText(first_error));
}

ScratchFile::~ScratchFile() { ::close(fd_); }

Status ScratchFile::WriteAt(uint64_t offset, const void* data, size_t n) {
  const int err = WriteFully(fd_, data, n, static_cast<int64_t>(offset));
  if (err == 0) return Status::OK();
  return Status::Error("cannot write a scratch file in " + folder_ + ": " + ErrnoText(err));
}

Status ScratchFile::ReadAt(uint64_t offset, void* data, size_t n) const {
  const int err = ReadFully(fd_, data, n, offset);
  if (err == 0) return Status::OK();
  return Status::Error("cannot read a scratch file in " + folder_ + ": " +
                       (err < 0 ? std::string("it ended early") : ErrnoText(err)));
}

}  // namespace wqstore
