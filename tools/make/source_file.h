// SourceFile: the text of a JSON source in memory, read once: a regular file
// named by its path is mapped; standard input, and a file of any other kind,
// is copied to a scratch file, which is mapped. The mapping is the store's
// (store/mapped_file.h): a file cut short while it is read reads as zeros
// past its new end, and CheckUnchanged() says so.
#ifndef WQSQL_TOOLS_MAKE_SOURCE_FILE_H_
#define WQSQL_TOOLS_MAKE_SOURCE_FILE_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include <sys/stat.h>

#include "platform/status.h"
#include "store/mapped_file.h"

namespace wqsource {

class SourceFile {
 public:
  // The path that names standard input, and the name messages give it.
  static constexpr std::string_view kStandardInputPath = "-";
  static constexpr std::string_view kStandardInputName = "standard input";

  SourceFile() = default;
  ~SourceFile();
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  // Maps or reads the file at `path`; sets *info to its status. Throws
  // std::bad_alloc when memory runs out.
  Status Open(const std::string& path, struct stat* info);
  // Reads standard input from where it stands to its end. It stays open.
  // Throws std::bad_alloc when memory runs out.
  Status OpenStandardInput();

  std::string_view text() const { return std::string_view(data_, size_); }

  // Fails when the file was cut short while it was mapped, so that text()
  // holds zeros where its end was; asked once the text has been read.
  Status CheckUnchanged() const;

 private:
  // Maps the regular file open on `fd`, whose fstat is `st` and whose name
  // in a message is `name`; `fd` is then the mapping's, unless it fails.
  Status Map(int fd, const struct stat& st, std::string_view name);
  // Copies what is left of `fd` to a scratch file and maps that; `name` is
  // the file's name in a message. `fd` stays open. The bytes are checked as
  // they come: the first NUL byte or byte that breaks UTF-8 ends the copy
  // (the parse then finds the fault).
  Status ReadAll(int fd, std::string_view name);
  // Reads to the end of `fd` into buffer_, starting with room for `capacity`
  // bytes. Frees the buffer when it fails, and throws std::bad_alloc when
  // memory runs out.
  Status ReadIntoMemory(int fd, std::string_view name, size_t capacity);

  static constexpr size_t kCopyBuffer = size_t{1} << 20;

  std::unique_ptr<wqstore::MappedFile> mapped_;
  char* buffer_ = nullptr;  // the text when it is not mapped
  const char* data_ = nullptr;
  size_t size_ = 0;
  std::string shown_name_;  // of the mapped file, for a message
};

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_SOURCE_FILE_H_
