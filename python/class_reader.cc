// Columns, frames and row tuples. Object columns and rows are made a chunk
// at a time: the chunk's cells are read without the GIL, then turned into
// Python objects with it, so memory stays bounded by the chunk.
#include "python/class_reader.h"

#include <pybind11/numpy.h>

#include <algorithm>
#include <memory>

namespace wqpy {
namespace py = pybind11;

namespace {

constexpr int32_t kChunkCells = 1 << 16;

// Reads the cells of `fields` for the objects of `span`, row after row,
// without the GIL.
void ReadCells(const wqstore::ClassDef& cls, const std::vector<Field>& fields, Span span,
               std::vector<Cell>* cells) {
  cells->resize(static_cast<size_t>(span.size()) * fields.size());
  wqstore::Result failed;
  {
    py::gil_scoped_release nogil;
    Cell* cell = cells->data();
    for (const wqstore::Object o : cls.objects(span.begin, span.end)) {
      for (const Field& f : fields) {
        wqstore::Result r = ReadCell(f, o, cell++);
        if (!r.ok()) {
          failed = std::move(r);
          break;
        }
      }
      if (!failed.ok()) break;
    }
  }
  ThrowIfFailed(std::move(failed));
}

// A read-only view of an int or double column of the mapped file.
py::array FileView(const Call& call, const wqstore::ClassDef& cls, const Field& field, Span span) {
  wqstore::ColumnView view;
  ThrowIfFailed(cls.GetColumn(field.member, &view));
  const py::dtype type(field.type == wqstore::DataType::kInt ? "<i4" : "<f8");
  py::array array;
  if (span.size() == 0) {
    array = py::array(type, py::array::ShapeContainer{py::ssize_t{0}});
  } else {
    const unsigned char* first = view.data + static_cast<size_t>(span.begin) * view.stride;
    array = py::array(type, py::array::ShapeContainer{py::ssize_t{span.size()}},
                      py::array::StridesContainer{static_cast<py::ssize_t>(view.stride)}, first,
                      Keeper(call.shared()));
  }
  py::detail::array_proxy(array.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
  return array;
}

// A numpy object array of the values of `field`.
py::array ObjectColumn(const Call& call, const wqstore::ClassDef& cls, const Field& field,
                       Span span) {
  py::array array(py::dtype("O"), py::array::ShapeContainer{py::ssize_t{span.size()}});
  PyObject** out = static_cast<PyObject**>(array.mutable_data());
  const std::vector<Field> one{field};
  std::vector<Cell> cells;
  for (int32_t at = span.begin; at < span.end;) {
    const Span chunk{at,
                     static_cast<int32_t>(std::min<int64_t>(span.end, int64_t{at} + kChunkCells))};
    ReadCells(cls, one, chunk, &cells);
    for (int32_t i = 0; i < chunk.size(); ++i) {
      PyObject* value = ToPython(field.type, cells[static_cast<size_t>(i)]);
      if (value == nullptr) {
        ThrowConversionFault(call.repository().path(), cls, field, chunk.begin + i);
      }
      PyObject*& slot = out[chunk.begin - span.begin + i];
      Py_XSETREF(slot, value);
    }
    at = chunk.end;
  }
  return array;
}

}  // namespace

Span Clamp(const wqstore::ClassDef& cls, int64_t begin, int64_t end) {
  const int64_t count = cls.object_count();
  begin = std::clamp<int64_t>(begin, 0, count);
  end = std::clamp<int64_t>(end, begin, count);
  return Span{static_cast<int32_t>(begin), static_cast<int32_t>(end)};
}

py::object ColumnArray(const Call& call, const wqstore::ClassDef& cls, const Field& field,
                       Span span) {
  if (field.type == wqstore::DataType::kInt || field.type == wqstore::DataType::kDouble) {
    return FileView(call, cls, field, span);
  }
  return ObjectColumn(call, cls, field, span);
}

py::object ClassFrame(const Call& call, const wqstore::ClassDef& cls, Span span) {
  const py::module_ pandas = py::module_::import("pandas");
  py::dict columns;
  for (const Field& field : FieldsOf(cls)) {
    columns[py::str(std::string(field.member.name()))] = ColumnArray(call, cls, field, span);
  }
  return pandas.attr("DataFrame")(
      columns, py::arg("index") = pandas.attr("RangeIndex")(span.begin, span.end));
}

py::list RowTuples(const Call& call, const wqstore::ClassDef& cls, const std::vector<Field>& fields,
                   Span span, std::vector<Cell>* cells) {
  ReadCells(cls, fields, span, cells);
  py::list rows(span.size());
  const Py_ssize_t width = static_cast<Py_ssize_t>(fields.size());
  const Cell* cell = cells->data();
  for (int32_t i = 0; i < span.size(); ++i) {
    py::tuple row(width);
    for (Py_ssize_t f = 0; f < width; ++f, ++cell) {
      PyObject* value = ToPython(fields[static_cast<size_t>(f)].type, *cell);
      if (value == nullptr) {
        ThrowConversionFault(call.repository().path(), cls, fields[static_cast<size_t>(f)],
                             span.begin + i);
      }
      PyTuple_SET_ITEM(row.ptr(), f, value);
    }
    PyList_SET_ITEM(rows.ptr(), i, row.release().ptr());
  }
  return rows;
}

}  // namespace wqpy

namespace wqpy {

py::list ObjectDicts(const Call& call, const wqstore::ClassDef& cls, Span span) {
  std::vector<Field> fields;
  std::vector<py::str> keys;
  for (const Field& f : FieldsOf(cls)) {
    if (f.type == wqstore::DataType::kNoValue) continue;
    fields.push_back(f);
    keys.emplace_back(std::string(f.member.name()));
  }
  std::vector<Cell> cells;
  py::list objects(span.size());
  std::vector<size_t> order(fields.size());
  std::vector<size_t> heap_places;
  std::vector<size_t> heap_fields;
  const int32_t rows_per_chunk =
      std::max<int32_t>(1, kChunkCells / static_cast<int32_t>(std::max<size_t>(1, fields.size())));
  for (int32_t at = span.begin; at < span.end;) {
    const Span chunk{
        at, static_cast<int32_t>(std::min<int64_t>(span.end, int64_t{at} + rows_per_chunk))};
    ReadCells(cls, fields, chunk, &cells);
    const Cell* row = cells.data();
    for (int32_t i = chunk.begin; i < chunk.end; ++i, row += fields.size()) {
      heap_places.clear();
      for (size_t f = 0; f < fields.size(); ++f) {
        order[f] = f;
        const bool entry =
            (fields[f].type == wqstore::DataType::kString && row[f].data != nullptr) ||
            (fields[f].type == wqstore::DataType::kBlob && row[f].size > 0);
        if (entry) heap_places.push_back(f);
      }
      heap_fields = heap_places;
      std::stable_sort(heap_fields.begin(), heap_fields.end(),
                       [row](size_t a, size_t b) { return row[a].data < row[b].data; });
      for (size_t k = 0; k < heap_places.size(); ++k) order[heap_places[k]] = heap_fields[k];
      py::dict values;
      for (const size_t f : order) {
        PyObject* value = ToPython(fields[f].type, row[f]);
        if (value == nullptr) ThrowConversionFault(call.repository().path(), cls, fields[f], i);
        py::object owned = py::reinterpret_steal<py::object>(value);
        if (PyDict_SetItem(values.ptr(), keys[f].ptr(), value) != 0) throw py::error_already_set();
      }
      PyList_SET_ITEM(objects.ptr(), i - span.begin, values.release().ptr());
    }
    at = chunk.end;
  }
  return objects;
}

}  // namespace wqpy
