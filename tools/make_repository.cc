// MakeRepository: maps (or, for pipes and the like, reads) a JSON source
// file, builds the repository it describes and commits it through the
// writer, which replaces the target atomically. The target is never opened
// here.
#include "tools/make_repository.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"
#include "store/writer.h"
#include "tools/json_source.h"
#include "tools/writer_calls.h"

namespace wqsource {

namespace {

Status CannotRead(const std::string& path, int err) {
  return Status::Error("cannot read " + path + ": " + ErrnoText(err));
}

// The message the bus error handler writes; set while a mapping is in use.
const char* bus_message = nullptr;
size_t bus_message_size = 0;

// A mapped file that shrinks under the reader faults with SIGBUS on the
// pages past its new end. That ends wqmake the way any other read failure
// does: one line on standard error and status 1; the target is not written
// before the mapping is released.
void OnBusError(int) {
  if (::write(STDERR_FILENO, bus_message, bus_message_size) < 0) {
  }
  ::_exit(1);
}

// The text of a source file. A regular file is mapped read-only with its
// pages populated up front: that costs a fraction of reading into fresh
// memory, whose every page would fault and be cleared first. Anything else is
// read into a growing buffer.
class SourceFile {
 public:
  SourceFile() = default;
  ~SourceFile() {
    if (mapped_) {
      ::munmap(data_, size_);
      ::sigaction(SIGBUS, &old_bus_action_, nullptr);
      bus_message = nullptr;
    } else {
      std::free(data_);
    }
  }
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  // Maps or reads the file at `path`; sets *info to its status.
  Status Open(const std::string& path, struct stat* info) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return CannotRead(path, errno);
    if (::fstat(fd, info) != 0) return Close(fd, path, errno);
    if (S_ISREG(info->st_mode) && info->st_size > 0) {
      const size_t size = static_cast<size_t>(info->st_size);
      void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
      if (map != MAP_FAILED) {
        ::close(fd);
        mapped_ = true;
        data_ = static_cast<char*>(map);
        size_ = size;
        GuardBusErrors(path);
        return Status::OK();
      }
    }
    const Status read =
        ReadAll(fd, path, S_ISREG(info->st_mode) ? static_cast<size_t>(info->st_size) + 1 : 1 << 16);
    ::close(fd);
    return read;
  }

  std::string_view text() const { return std::string_view(data_, size_); }

 private:
  static Status Close(int fd, const std::string& path, int err) {
    ::close(fd);
    return CannotRead(path, err);
  }

  void GuardBusErrors(const std::string& path) {
    bus_text_ = "wqmake: cannot read " + path + ": the file shrank while it was read";
    for (char& c : bus_text_) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    bus_text_ += '\n';
    bus_message = bus_text_.data();
    bus_message_size = bus_text_.size();
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnBusError;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &old_bus_action_);
  }

  // Reads to the end of `fd` into data_; frees the buffer when it fails.
  // Throws std::bad_alloc, with `fd` closed, when memory runs out.
  Status ReadAll(int fd, const std::string& path, size_t capacity) {
    size_t used = 0;
    data_ = static_cast<char*>(std::malloc(capacity));
    int err = 0;
    while (data_ != nullptr) {
      if (used == capacity) {
        char* grown = static_cast<char*>(std::realloc(data_, capacity * 2));
        if (grown == nullptr) break;
        data_ = grown;
        capacity *= 2;
      }
      const ssize_t n = ::read(fd, data_ + used, capacity - used);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        err = errno;
        break;
      }
      if (n == 0) {
        size_ = used;
        return Status::OK();
      }
      used += static_cast<size_t>(n);
    }
    std::free(data_);
    data_ = nullptr;
    if (err == 0) {
      ::close(fd);
      throw std::bad_alloc();
    }
    return CannotRead(path, err);
  }

  bool mapped_ = false;
  char* data_ = nullptr;
  size_t size_ = 0;
  std::string bus_text_;
  struct sigaction old_bus_action_;
};

}  // namespace

Status MakeRepository(const std::string& source_path, const std::string& repo_path) {
  std::unique_ptr<wqstore::RepositoryWriter> writer;
  {
    struct stat source_info;
    SourceFile source;
    WQ_RETURN_IF_ERROR(source.Open(source_path, &source_info));
    // Committing over the source would destroy it.
    struct stat target_info;
    if (::stat(repo_path.c_str(), &target_info) == 0 &&
        target_info.st_dev == source_info.st_dev && target_info.st_ino == source_info.st_ino) {
      return Status::Error("cannot write " + repo_path + ": it is the source file");
    }
    WQ_RETURN_IF_ERROR(BuildFromJson(source.text(), &writer, source_path));
  }  // the source text is released before the file image is built
  return StatusWriter(*writer).Commit(repo_path).Prefixed("cannot write " + repo_path + ": ");
}

}  // namespace wqsource
