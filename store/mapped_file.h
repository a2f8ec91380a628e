// MappedFile: a whole file mapped read-only into memory for the life of the
// object, with its descriptor kept open for reads that bypass the mapping.
// A zero-length file is valid and maps nothing.
#ifndef WQSQL_STORE_MAPPED_FILE_H_
#define WQSQL_STORE_MAPPED_FILE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace wqstore {

class MappedFile {
 public:
  // Opens and maps `path`. On failure returns null and sets *error to the
  // reason, e.g. "cannot open file: No such file or directory".
  static std::unique_ptr<MappedFile> Open(const std::string& path, std::string* error);

  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Never null, also for an empty file.
  const unsigned char* data() const { return data_; }
  size_t size() const { return size_; }

  // Copies the bytes [offset, offset + length), which must lie inside the
  // file, to `buffer` with pread: for one sequential pass over a big file
  // this is cheaper than building and tearing down the page tables of the
  // mapping. On failure (the file shrank, a read error) returns false and
  // sets *error.
  bool ReadAt(uint64_t offset, void* buffer, size_t length, std::string* error) const;

 private:
  MappedFile(const unsigned char* data, size_t size, void* base, int fd)
      : data_(data), size_(size), base_(base), fd_(fd) {}

  const unsigned char* data_;
  size_t size_;
  void* base_;  // the mapping, or null for an empty file
  int fd_;      // -1 for an empty file
};

}  // namespace wqstore

#endif  // WQSQL_STORE_MAPPED_FILE_H_
