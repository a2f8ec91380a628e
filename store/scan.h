// The scan interface: what the layers above the store (the shell's handles
// and printer, the tools) use of the store's internals to walk records and
// read fields without going through the public handles one value at a
// time. It gives the reader's tables (store/reader.h), raw fields
// (store/fields.h), the data type table, the registry that finds the class
// of a record's address (store/class_registry.h) and the way from a public handle
// to the internal value it stands for. Programs outside the project use
// the public face (include/wqstore) only.
#ifndef WQSQL_STORE_SCAN_H_
#define WQSQL_STORE_SCAN_H_

#include <cstdint>

#include "store/class_registry.h"
#include "store/coding.h"
#include "store/data_types.h"
#include "store/fields.h"
#include "store/format.h"
#include "store/reader.h"
#include "wqstore/repository.h"

namespace wqstore {
namespace internal {

// The internals behind the public handles, and handles made from them.
struct Access {
  static const ClassInfo* Info(const ClassDef& c) { return c.c_; }
  static const MemberInfo* Info(const Member& m) { return m.m_; }
  static ClassDef Class(const ClassInfo* c) { return ClassDef(c); }
  static Member MemberOf(const MemberInfo* m) { return Member(m); }
  static Object ObjectAt(const ClassInfo* c, uint32_t position) { return Object(c, position); }
  static const ClassInfo* ClassOf(const Object& o) { return o.c_; }
  static const Reader& ReaderOf(const Repository& repository);
};

}  // namespace internal
}  // namespace wqstore

#endif  // WQSQL_STORE_SCAN_H_
