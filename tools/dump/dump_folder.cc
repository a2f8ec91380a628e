// The class file names and the folder written through a temporary folder.
#include "tools/dump/dump_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/text.h"
#include "store/file_io.h"
#include "tools/common/text_sink.h"

namespace wqtools {

namespace {

// The folder's path without trailing slashes ("/" stays "/").
std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Checks that `folder` does not exist or is an empty folder, and gives the
// permission bits the new folder gets: those of the empty folder it
// replaces, or 0777 less the umask.
Status CheckTarget(const std::string& folder, mode_t* mode) {
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0) {
    if (errno != ENOENT) return Status::Error("cannot write " + folder + ": " + ErrnoText(errno));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    *mode = 0777 & ~mask;
    return Status::OK();
  }
  if (!S_ISDIR(st.st_mode)) return Status::Error("cannot write " + folder + ": not a folder");
  DIR* d = ::opendir(folder.c_str());
  if (d == nullptr) return Status::Error("cannot write " + folder + ": " + ErrnoText(errno));
  bool empty = true;
  while (const dirent* e = ::readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") empty = false;
  }
  ::closedir(d);
  if (!empty) return Status::Error("cannot write " + folder + ": the folder is not empty");
  *mode = st.st_mode & 07777;
  return Status::OK();
}

// Removes the temporary folder and the files in it.
void RemoveFolder(const std::string& path) {
  if (DIR* d = ::opendir(path.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") ::unlink((path + "/" + n).c_str());
    }
    ::closedir(d);
  }
  ::rmdir(path.c_str());
}

Status SyncFolder(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Status::Error("cannot sync " + path + ": " + ErrnoText(errno));
  const int rc = ::fsync(fd);
  const int err = errno;
  ::close(fd);
  if (rc != 0) return Status::Error("cannot sync " + path + ": " + ErrnoText(err));
  return Status::OK();
}

// Writes the class files into the temporary folder `temp` that becomes
// `folder`.
Status WriteFiles(const wqstore::Reader& reader, TableFormat format, const std::string& temp,
                  const std::string& folder, DumpProgress* progress) {
  for (uint32_t i = 0; i < reader.class_count(); i++) {
    const wqstore::ClassInfo& c = reader.class_at(i);
    const std::string name = ClassFileName(std::string(c.name, c.name_length), format);
    const std::string path = temp + "/" + name;
    // Names that differ only in case meet on a file system that ignores it.
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) {
      return Status::Error("cannot write " + folder + "/" + name +
                           ": another class has this file name");
    }
    std::unique_ptr<TextSink> sink;
    const Status created = TextSink::ToFile(path, &sink);
    if (!created.ok()) return created;
    WriteTable(reader, c, format, *sink, progress);
    const Status finished = sink->Finish();
    if (!finished.ok()) return finished;
  }
  return Status::OK();
}

}  // namespace

std::string ClassFileName(const std::string& name, TableFormat format) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string file;
  for (size_t i = 0; i < name.size(); i++) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c == '/' || c == '%' || (i == 0 && c == '.') || c < 0x20 || c > 0x7E) {
      file += '%';
      file += kHex[c >> 4];
      file += kHex[c & 15];
    } else {
      file += static_cast<char>(c);
    }
  }
  return file + (format == TableFormat::kCsv ? ".csv" : ".jsonl");
}

Status WriteClassFolder(const wqstore::Reader& reader, TableFormat format,
                        const std::string& folder_path, DumpProgress* progress) {
  const std::string folder = WithoutTrailingSlashes(folder_path);
  mode_t mode = 0;
  const Status target = CheckTarget(folder, &mode);
  if (!target.ok()) return target;
  const std::string parent = wqstore::FolderOf(folder);
  std::string temp = (parent == "/" ? "" : parent) + "/.wqdump-XXXXXX";
  if (::mkdtemp(&temp[0]) == nullptr) {
    return Status::Error("cannot write " + folder + ": cannot create temporary folder in " +
                         parent + ": " + ErrnoText(errno));
  }
  Status status = WriteFiles(reader, format, temp, folder, progress);
  if (status.ok() && ::chmod(temp.c_str(), mode) != 0) {
    status = Status::Error("cannot write " + folder + ": " + ErrnoText(errno));
  }
  // Over an empty folder the rename replaces it; over one that was filled
  // meanwhile it fails, and that folder stays as it is.
  if (status.ok() && ::rename(temp.c_str(), folder.c_str()) != 0) {
    const int err = errno;
    const bool filled = err == ENOTEMPTY || err == EEXIST;
    status = Status::Error("cannot write " + folder + ": " +
                           (filled ? std::string("the folder is not empty") : ErrnoText(err)));
  }
  if (!status.ok()) {
    RemoveFolder(temp);
    return status;
  }
  return SyncFolder(parent);
}

}  // namespace wqtools
