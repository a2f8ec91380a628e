// Reading the objects of one class into Python: one member's values as a
// numpy array, every member's as a pandas DataFrame, and the objects as
// tuples or dicts a batch at a time. Int and double columns are read-only views of
// the mapped file (no copy); the other columns are numpy object arrays.
// The file is read without the GIL; only the making of Python objects
// holds it.
#ifndef WQSQL_PYTHON_CLASS_READER_H_
#define WQSQL_PYTHON_CLASS_READER_H_

#include <pybind11/pybind11.h>

#include <cstdint>
#include <vector>

#include "python/session.h"
#include "python/values.h"
#include "wqstore/repository.h"

namespace wqpy {

// The objects [begin, end) of a class, clamped to it.
struct Span {
  int32_t begin;
  int32_t end;
  int32_t size() const { return end - begin; }
};
Span Clamp(const wqstore::ClassDef& cls, int64_t begin, int64_t end);

// The values of `field` for the objects of `span`.
pybind11::object ColumnArray(const Call& call, const wqstore::ClassDef& cls, const Field& field,
                             Span span);

// A DataFrame of the objects of `span`: one column per member, in member
// order, indexed by the objects' positions.
pybind11::object ClassFrame(const Call& call, const wqstore::ClassDef& cls, Span span);

// The objects of `span` as a list of tuples, in member order; `cells` is
// scratch space kept from batch to batch.
pybind11::list RowTuples(const Call& call, const wqstore::ClassDef& cls,
                         const std::vector<Field>& fields, Span span, std::vector<Cell>* cells);

// The objects of `span` as dicts of values by member name, as wqdump's
// JSON source gives them: members of a type that stores nothing left out,
// the rest in member order, except that strings and blobs take the places
// of such members in the order their bytes lie in the file, so that
// write() sets them in that order and rebuilds the same heap.
pybind11::list ObjectDicts(const Call& call, const wqstore::ClassDef& cls, Span span);

}  // namespace wqpy

#endif  // WQSQL_PYTHON_CLASS_READER_H_
