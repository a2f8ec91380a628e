// ReferenceMarks: the bits laid out class after class, set from the
// reference fields read in stored order.
#include "tools/dump/reference_marks.h"

#include "store/scan.h"

namespace wqtools {

using wqstore::ClassInfo;
using wqstore::MemberInfo;

ReferenceMarks::ReferenceMarks(const wqstore::Reader& reader) {
  const std::vector<ClassInfo>& classes = reader.classes();
  first_bit_.reserve(classes.size());
  uint64_t total = 0;
  for (const ClassInfo& c : classes) {
    first_bit_.push_back(total);
    total += c.object_count;
  }
  bits_.assign(total / 64 + 1, 0);
  for (const ClassInfo& c : classes) {
    for (uint32_t k = 0; k < c.member_count; k++) {
      const MemberInfo& m = c.members[k];
      if (!wqstore::IsReference(m.type)) continue;
      for (uint32_t i = 0; i < c.object_count; i++) {
        const wqstore::RefTarget t = wqstore::RefField(c.Record(i), m);
        // A validated file has no other references; a changed one is ignored.
        if (!t.set() || t.cls >= classes.size() || t.obj >= classes[t.cls].object_count) continue;
        const uint64_t bit = first_bit_[t.cls] + t.obj;
        bits_[bit / 64] |= uint64_t{1} << (bit % 64);
      }
    }
  }
}

}  // namespace wqtools
