// The full check of a repository file that a Reader has open: every
// checksum and every structural rule, and every value of every object.
// wqstore::Repository::Validate reports what it finds.
#ifndef WQSQL_STORE_VALIDATOR_H_
#define WQSQL_STORE_VALIDATOR_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/status.h"
#include "store/reader.h"

namespace wqstore {

// Validation reads the object data and the heap through these buffers
// rather than through the mapping. Tests shrink them to reach every path.
struct ValidateBuffers {
  size_t data = 1024 * 1024;       // object data, read in whole blocks of records
  size_t heap = 4 * 1024 * 1024;   // the window of the heap held at once
  size_t heap_read = 1024 * 1024;  // bytes of heap read per call
  size_t heap_keep = 256 * 1024;   // heap kept behind the newest entry asked for
};

// Told how far a check has come: `done` of the file's `total` bytes, after
// each read of object data. Optional; the call costs nothing per record.
struct ValidateProgress {
  void (*report)(uint64_t done, uint64_t total, void* context) = nullptr;
  void* context = nullptr;
};

// Checks the file `reader` has open. Fails with "repository " +
// display_path + ": " and the first fault; a checksum fault is reported
// before any structural one.
Status Validate(const Reader& reader, const std::string& display_path,
                const ValidateBuffers& buffers = ValidateBuffers(),
                const ValidateProgress& progress = ValidateProgress());

}  // namespace wqstore

#endif  // WQSQL_STORE_VALIDATOR_H_
