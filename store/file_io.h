// Small helpers for the store's own files: the folder of a path, and
// writes and reads that go on until every byte is through.
#ifndef WQSQL_STORE_FILE_IO_H_
#define WQSQL_STORE_FILE_IO_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace wqstore {

// The folder that holds `path`: "." for a bare name, "/" for one at the root.
std::string FolderOf(const std::string& path);

// Writes `n` bytes at `offset`, or at the file's position when `offset` is
// negative. Returns 0, or the errno of the failure.
int WriteFully(int fd, const void* data, size_t n, int64_t offset);

// Reads `n` bytes at `offset`. Returns 0, the errno of the failure, or -1
// when the file ends first; `stopped_at`, when given, receives the offset
// of the failure or of the end.
int ReadFully(int fd, void* data, size_t n, uint64_t offset, uint64_t* stopped_at = nullptr);

}  // namespace wqstore

#endif  // WQSQL_STORE_FILE_IO_H_
