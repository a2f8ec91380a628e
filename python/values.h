// The values of members as Python objects, in two steps so that the scan
// of a file can run without the GIL: ReadCell reads one value from the
// store into a Cell (no Python object), ToPython makes the Python object of
// a Cell (GIL held). Ints and doubles become int and float, strings str or
// None, chars a one-character str or None for code 0, blobs bytes,
// references the id "CLASSNUMBER:POSITION" or None, and members of a type
// that stores nothing None: what wqdump's JSON Lines give, but bytes for
// blobs.
#ifndef WQSQL_PYTHON_VALUES_H_
#define WQSQL_PYTHON_VALUES_H_

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "wqstore/repository.h"

namespace wqpy {

// A member and its type, found once per class, and for an int, double or
// char member where its values lie.
struct Field {
  wqstore::Member member;
  wqstore::DataType type;
  wqstore::ColumnView column;
};
Field FieldOf(const wqstore::ClassDef& cls, const wqstore::Member& member);
std::vector<Field> FieldsOf(const wqstore::ClassDef& cls);

// One value read from the file. Strings and blobs point into the mapping.
struct Cell {
  const char* data = nullptr;  // string or blob bytes; null for a null string
  size_t size = 0;
  double number = 0;      // double
  int32_t value = 0;      // int, char code, a reference's class number
  int32_t position = -1;  // a reference's target; -1 when unset
};

// Reads the value of `field` of `object` (no GIL needed).
wqstore::Result ReadCell(const Field& field, const wqstore::Object& object, Cell* cell);

// The Python object of a cell: a new reference, or null with a Python
// error set (a string that is not UTF-8).
PyObject* ToPython(wqstore::DataType type, const Cell& cell);

// After a failed ToPython of `field` of the object at `position`: throws
// kDamaged naming the file, object, class and member for a string that is
// not UTF-8, else the Python error as it is.
[[noreturn]] void ThrowConversionFault(const std::string& path, const wqstore::ClassDef& cls,
                                       const Field& field, int32_t position);

// The type as written in a class list that write() takes: the name for
// codes 1 to 6, which read back as the same code, else the code.
pybind11::object TypeForSource(const wqstore::Member& member);

}  // namespace wqpy

#endif  // WQSQL_PYTHON_VALUES_H_
