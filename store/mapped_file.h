// MappedFile: a whole file mapped read-only into memory for the life of the
// object. A zero-length file is valid and maps nothing.
#ifndef WQSQL_STORE_MAPPED_FILE_H_
#define WQSQL_STORE_MAPPED_FILE_H_

#include <cstddef>
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

  // Hints the expected access to the bytes [offset, offset + length) with a
  // madvise code (MADV_SEQUENTIAL, MADV_WILLNEED, ...). Hints are advisory:
  // failures are ignored.
  void Advise(size_t offset, size_t length, int advice) const;

  // Faults the page tables of the whole mapping in ahead of a full scan,
  // where the kernel supports that; returns false if it did nothing.
  bool Prefault() const;

 private:
  MappedFile(const unsigned char* data, size_t size, void* base)
      : data_(data), size_(size), base_(base) {}

  const unsigned char* data_;
  size_t size_;
  void* base_;  // the mapping, or null for an empty file
};

}  // namespace wqstore

#endif  // WQSQL_STORE_MAPPED_FILE_H_
