// The values of one record field by field, for tools that walk the records
// of a class in stored order (a dump, statistics) instead of going through
// object handles: the raw field of a member as the file holds it. The
// reader's records and members come from store/reader.h; a heap offset is
// turned into text or bytes with Reader::HeapString and Reader::HeapBlob.
#ifndef WQSQL_STORE_FIELDS_H_
#define WQSQL_STORE_FIELDS_H_

#include <cstdint>

#include "store/coding.h"
#include "store/format.h"
#include "store/reader.h"

namespace wqstore {

// The heap offset a string or blob field holds: 0 for a null string and for
// an empty blob.
inline uint64_t HeapOffsetField(const unsigned char* record, const MemberInfo& m) {
  return DecodeFixed64(record + m.field_offset);
}

inline int32_t IntField(const unsigned char* record, const MemberInfo& m) {
  return DecodeSigned32(record + m.field_offset);
}

inline double DoubleField(const unsigned char* record, const MemberInfo& m) {
  return DecodeDouble(record + m.field_offset);
}

inline uint8_t CharField(const unsigned char* record, const MemberInfo& m) {
  return record[m.field_offset];
}

// Where a reference field points: the target's class index (its place in
// Reader::classes) and its object index in that class; `cls` is
// format::kUnsetIndex when the reference is unset.
struct RefTarget {
  uint32_t cls;
  uint32_t obj;
  bool set() const { return cls != format::kUnsetIndex; }
};

inline RefTarget RefField(const unsigned char* record, const MemberInfo& m) {
  const unsigned char* f = record + m.field_offset;
  return RefTarget{DecodeFixed32(f), DecodeFixed32(f + 4)};
}

}  // namespace wqstore

#endif  // WQSQL_STORE_FIELDS_H_
