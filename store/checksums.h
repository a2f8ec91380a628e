// Recomputes the checksums of a repository image in place, so that a test
// or a fuzzer can build files whose damage lies past the checksums, in the
// structure that Open parses or in the data that ValidateRepository checks.
#ifndef WQSQL_STORE_CHECKSUMS_H_
#define WQSQL_STORE_CHECKSUMS_H_

#include <string>

namespace wqstore {

// Which checksums to recompute: the header and directory only, so that Open
// accepts the tables, or also every class's data and the heap.
enum class Checksums { kHeaderAndDirectory, kAll };

// Fields that lie outside the image are left alone; any bytes are safe.
void RecomputeChecksums(std::string* image, Checksums which);

}  // namespace wqstore

#endif  // WQSQL_STORE_CHECKSUMS_H_
