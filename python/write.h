// WriteRepository: a repository file built from Python data and committed
// atomically, with wqmake's rules for classes, members and values and its
// wording of faults (without the source position, which Python data does
// not have).
//
// `classes` is an iterable of dicts with the keys of a class in a wqmake
// source: "name", "number" (default one more than the largest so far, 1 for
// the first), "objectSize" (default the record size), "members" (dicts with
// "name", "type", "number", "nullable") and "objects". An object is a dict
// of values by member name (members left out take null, 0 or empty; the
// values are set in the dict's order, which orders their strings and blobs
// in the file) or a sequence of one value per member in member order (None
// for a member of a type that stores nothing). A reference is the id
// "CLASSNUMBER:POSITION" of its target in the file written.
#ifndef WQSQL_PYTHON_WRITE_H_
#define WQSQL_PYTHON_WRITE_H_

#include <pybind11/pybind11.h>

#include <string>

namespace wqpy {

void WriteRepository(const std::string& path, pybind11::handle classes);

}  // namespace wqpy

#endif  // WQSQL_PYTHON_WRITE_H_
