// ReferenceMarks: which objects of a repository some reference points at,
// one bit per object, found in one pass over the reference fields. The
// dump gives an id to those objects only.
#ifndef WQSQL_TOOLS_DUMP_REFERENCE_MARKS_H_
#define WQSQL_TOOLS_DUMP_REFERENCE_MARKS_H_

#include <cstdint>
#include <vector>

#include "store/scan.h"

namespace wqtools {

class ReferenceMarks {
 public:
  // Reads every reference field of every object of `reader`'s file.
  explicit ReferenceMarks(const wqstore::Reader& reader);

  // True when a reference points at object `obj` of the class with index `cls`.
  bool marked(uint32_t cls, uint32_t obj) const {
    const uint64_t bit = first_bit_[cls] + obj;
    return (bits_[bit / 64] >> (bit % 64)) & 1;
  }

 private:
  std::vector<uint64_t> first_bit_;  // per class index
  std::vector<uint64_t> bits_;
};

}  // namespace wqtools

#endif  // WQSQL_TOOLS_DUMP_REFERENCE_MARKS_H_
