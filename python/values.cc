// ReadCell and ToPython for every type, with a table of the 255 one-character
// strings of char codes 1 to 255 made once.
#include "python/values.h"

#include <charconv>
#include <cstring>

#include "python/errors.h"

namespace wqpy {
namespace py = pybind11;

namespace {

// The one-character strings of char codes; [0] stays null (code 0 is None).
// Made at the first use, with the GIL held, and kept for the process.
PyObject* const* CharStrings() {
  static PyObject* strings[256] = {};
  if (strings[1] == nullptr) {
    for (int code = 1; code < 256; ++code) {
      strings[code] = PyUnicode_FromOrdinal(code);
      if (strings[code] == nullptr) throw py::error_already_set();
    }
  }
  return strings;
}

const unsigned char* ColumnValue(const wqstore::ColumnView& column, int32_t position) {
  return column.data + static_cast<size_t>(position) * column.stride;
}

PyObject* IdText(int32_t class_number, int32_t position) {
  char text[32];
  char* p = std::to_chars(text, text + 12, class_number).ptr;
  *p++ = ':';
  p = std::to_chars(p, text + sizeof text, position).ptr;
  return PyUnicode_FromStringAndSize(text, p - text);
}

}  // namespace

Field FieldOf(const wqstore::ClassDef& cls, const wqstore::Member& member) {
  Field f{member, member.type(), wqstore::ColumnView()};
  if (f.type == wqstore::DataType::kInt || f.type == wqstore::DataType::kDouble ||
      f.type == wqstore::DataType::kChar) {
    ThrowIfFailed(cls.GetColumn(member, &f.column));
  }
  return f;
}

std::vector<Field> FieldsOf(const wqstore::ClassDef& cls) {
  std::vector<Field> fields;
  fields.reserve(static_cast<size_t>(cls.member_count()));
  for (int32_t i = 0; i < cls.member_count(); ++i) fields.push_back(FieldOf(cls, cls.member(i)));
  return fields;
}

wqstore::Result ReadCell(const Field& field, const wqstore::Object& object, Cell* cell) {
  switch (field.type) {
    case wqstore::DataType::kString: {
      std::optional<std::string_view> text;
      wqstore::Result r = object.GetString(field.member, &text);
      cell->data = text ? text->data() : nullptr;
      cell->size = text ? text->size() : 0;
      return r;
    }
    // Ints, doubles and chars straight from their column: little-endian,
    // unaligned.
    case wqstore::DataType::kInt: {
      const unsigned char* p = ColumnValue(field.column, object.position());
      cell->value = static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 |
                                         uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
      return wqstore::Result::Ok();
    }
    case wqstore::DataType::kDouble: {
      const unsigned char* p = ColumnValue(field.column, object.position());
      uint64_t bits = 0;
      for (int k = 7; k >= 0; --k) bits = bits << 8 | p[k];
      std::memcpy(&cell->number, &bits, sizeof bits);
      return wqstore::Result::Ok();
    }
    case wqstore::DataType::kChar:
      cell->value = *ColumnValue(field.column, object.position());
      return wqstore::Result::Ok();
    case wqstore::DataType::kBlob: {
      std::string_view bytes;
      wqstore::Result r = object.GetBlob(field.member, &bytes);
      cell->data = bytes.data();
      cell->size = bytes.size();
      return r;
    }
    case wqstore::DataType::kReference: {
      std::optional<wqstore::ObjectId> target;
      wqstore::Result r = object.GetReference(field.member, &target);
      cell->value = target ? target->class_number : 0;
      cell->position = target ? target->position : -1;
      return r;
    }
    case wqstore::DataType::kNoValue: return wqstore::Result::Ok();
  }
  return wqstore::Result::Ok();
}

PyObject* ToPython(wqstore::DataType type, const Cell& cell) {
  switch (type) {
    case wqstore::DataType::kString:
      if (cell.data == nullptr) Py_RETURN_NONE;
      return PyUnicode_DecodeUTF8(cell.data, static_cast<Py_ssize_t>(cell.size), "strict");
    case wqstore::DataType::kInt: return PyLong_FromLong(cell.value);
    case wqstore::DataType::kDouble: return PyFloat_FromDouble(cell.number);
    case wqstore::DataType::kChar: {
      if (cell.value == 0) Py_RETURN_NONE;
      PyObject* s = CharStrings()[cell.value];
      Py_INCREF(s);
      return s;
    }
    case wqstore::DataType::kBlob:
      return PyBytes_FromStringAndSize(cell.size == 0 ? "" : cell.data,
                                       static_cast<Py_ssize_t>(cell.size));
    case wqstore::DataType::kReference:
      if (cell.position < 0) Py_RETURN_NONE;
      return IdText(cell.value, cell.position);
    case wqstore::DataType::kNoValue: Py_RETURN_NONE;
  }
  Py_RETURN_NONE;
}

void ThrowConversionFault(const std::string& path, const wqstore::ClassDef& cls, const Field& field,
                          int32_t position) {
  if (!PyErr_ExceptionMatches(PyExc_UnicodeDecodeError)) throw py::error_already_set();
  PyErr_Clear();
  throw StoreError(wqstore::Result::Error(
      wqstore::Result::kDamaged,
      path + ": object " + std::to_string(position) + " of class " + std::to_string(cls.number()) +
          " (" + std::string(cls.name()) + "), member " + std::to_string(field.member.number()) +
          " (" + std::string(field.member.name()) + "): string is not valid UTF-8"));
}

py::object TypeForSource(const wqstore::Member& member) {
  const int code = member.type_code();
  if (code >= 1 && code <= 6) return py::str(member.type_name());
  return py::int_(code);
}

}  // namespace wqpy
