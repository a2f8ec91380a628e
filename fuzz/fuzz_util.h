// Helpers shared by the fuzz targets: bytes to a file the store can open.
#ifndef WQSQL_FUZZ_FUZZ_UTIL_H_
#define WQSQL_FUZZ_FUZZ_UTIL_H_

#include <cstddef>
#include <cstdint>
#include <string>

// Writes `data` to an in-memory file and returns a path that opens it
// ("/proc/self/fd/N"); the file lives until the next call.
std::string BytesAsFile(const uint8_t* data, size_t size);

// The fuzz input as a repository file, as the targets that read repositories
// take it: the first byte chooses whether the rest is used as it is, with
// its header and directory checksums recomputed (so Open parses the tables
// and the reads meet damaged data), or with every checksum recomputed (so
// validation's structural checks meet the damage). Empty for empty input.
std::string RepositoryBytesAsFile(const uint8_t* data, size_t size);

// Sends standard output to /dev/null for the life of the process.
void DiscardStdout();

#endif  // WQSQL_FUZZ_FUZZ_UTIL_H_
