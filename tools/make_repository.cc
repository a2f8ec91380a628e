// MakeRepository: reads a JSON source file in one go, builds the repository
// it describes and commits it through the writer, which replaces the target
// atomically. The target is never opened here.
#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "repository/store_api.h"
#include "tools/json_source.h"

namespace wqsource {

namespace {

[[noreturn]] void CannotRead(const std::string& path, int err) {
  throw MakeError("cannot read " + path + ": " + std::strerror(err));
}

// Reads the whole file into `text`; `info` gets the file's status.
void ReadSource(const std::string& path, std::string& text, struct stat& info) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) CannotRead(path, errno);
  if (::fstat(fd, &info) != 0) {
    const int err = errno;
    ::close(fd);
    CannotRead(path, err);
  }
  size_t used = 0;
  text.resize(S_ISREG(info.st_mode) ? static_cast<size_t>(info.st_size) + 1 : 1 << 16);
  while (true) {
    if (used == text.size()) text.resize(text.size() * 2);
    const ssize_t n = ::read(fd, &text[used], text.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      CannotRead(path, err);
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
  }
  ::close(fd);
  text.resize(used);
}

}  // namespace

void MakeRepository(const std::string& source_path, const std::string& repo_path) {
  std::unique_ptr<wqstore::RepositoryWriter> writer;
  {
    std::string text;
    struct stat source_info;
    ReadSource(source_path, text, source_info);
    // Committing over the source would destroy it.
    struct stat target_info;
    if (::stat(repo_path.c_str(), &target_info) == 0 &&
        target_info.st_dev == source_info.st_dev && target_info.st_ino == source_info.st_ino) {
      throw MakeError("cannot write " + repo_path + ": it is the source file");
    }
    try {
      writer = BuildFromJson(text);
    } catch (const SourceError& e) {
      throw MakeError(source_path + ":" + e.what());
    } catch (const awq_StoreError& e) {
      throw MakeError(source_path + ": " + e.what());
    }
  }  // the source text is released before the file image is built
  try {
    writer->Commit(repo_path);
  } catch (const awq_StoreError& e) {
    throw MakeError("cannot write " + repo_path + ": " + e.what());
  }
}

}  // namespace wqsource
