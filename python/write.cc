// WriteRepository: the classes and members first (so that references may
// name any class), then the objects class after class into a writer that
// keeps its records and heap in scratch files beside the target, as wqmake
// does; references to objects not added yet wait until every object is in.
#include "python/write.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "python/errors.h"
#include "wqstore/writer.h"

namespace wqpy {
namespace py = pybind11;

namespace {

const char kIntRange[] = "(-2147483648 to 2147483647)";

std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

// What a Python value is, in the words wqmake uses for JSON values.
std::string KindName(py::handle v) {
  if (v.is_none()) return "null";
  if (PyBool_Check(v.ptr())) return "a boolean";
  if (PyLong_Check(v.ptr())) return "an integer";
  if (PyFloat_Check(v.ptr())) return "a float";
  if (PyUnicode_Check(v.ptr())) return "a string";
  if (PyBytes_Check(v.ptr()) || PyByteArray_Check(v.ptr())) return "bytes";
  if (PyDict_Check(v.ptr())) return "a dict";
  if (PyList_Check(v.ptr())) return "a list";
  if (PyTuple_Check(v.ptr())) return "a tuple";
  return std::string("an object of type ") + Py_TYPE(v.ptr())->tp_name;
}

bool IsInteger(py::handle v) {
  return !PyBool_Check(v.ptr()) && (PyLong_Check(v.ptr()) || PyIndex_Check(v.ptr()));
}

// The value of an integer in int32 range.
bool FitsInt32(py::handle v, int32_t* out) {
  py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(v.ptr()));
  if (!index) throw py::error_already_set();
  int overflow = 0;
  const long long n = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
  if (overflow != 0 || n < INT32_MIN || n > INT32_MAX) return false;
  *out = static_cast<int32_t>(n);
  return true;
}

// The UTF-8 of a str; false for one with a lone surrogate.
bool Utf8Of(py::handle v, std::string_view* out) {
  Py_ssize_t size;
  const char* data = PyUnicode_AsUTF8AndSize(v.ptr(), &size);
  if (data == nullptr) {
    PyErr_Clear();
    return false;
  }
  *out = std::string_view(data, static_cast<size_t>(size));
  return true;
}

std::string TextOf(py::handle key) {
  std::string_view text;
  return PyUnicode_Check(key.ptr()) && Utf8Of(key, &text) ? std::string(text)
                                                          : std::string(py::str(py::repr(key)));
}

// Throws the fault of a value; `detail` as wqmake words it.
[[noreturn]] void Fault(const std::string& where, const std::string& detail) {
  ThrowInvalid(where + ": " + detail);
}

struct MemberPlan {
  std::string name;
  int32_t number = 0;
  int type_code = 0;
  wqstore::DataType type = wqstore::DataType::kNoValue;
  bool nullable = true;
};

struct ClassPlan {
  std::string label;  // "class \"Part\""
  int32_t number = 0;
  py::object objects;
  std::vector<MemberPlan> members;
  std::unordered_map<std::string, uint32_t> by_name;
};

// The store's type of a code: codes 6 and 8 are references, codes with no
// name store nothing.
wqstore::DataType TypeOfCode(int code) {
  if (code >= 1 && code <= 6) return static_cast<wqstore::DataType>(code);
  return code == 8 ? wqstore::DataType::kReference : wqstore::DataType::kNoValue;
}

// A member's "type": a code 0 to 255 or a type name.
bool TypeCode(py::handle v, int* code) {
  if (PyUnicode_Check(v.ptr())) {
    std::string_view name;
    if (!Utf8Of(v, &name)) return false;
    for (int c = 1; c <= 6; ++c) {
      if (name == wqstore::TypeName(c)) {
        *code = c;
        return true;
      }
    }
    return false;
  }
  int32_t n;
  if (!IsInteger(v) || !FitsInt32(v, &n) || n < 0 || n > 255) return false;
  *code = n;
  return true;
}

// Reads "number" and "objectSize".
int32_t Int32Field(const std::string& where, const char* key, py::handle v) {
  int32_t n;
  if (!IsInteger(v)) {
    Fault(where, std::string("\"") + key + "\" must be an integer, not " + KindName(v));
  }
  if (!FitsInt32(v, &n)) Fault(where, std::string("\"") + key + "\" out of range " + kIntRange);
  return n;
}

std::string NameField(const std::string& where, py::handle v) {
  std::string_view name;
  if (!PyUnicode_Check(v.ptr())) Fault(where, "\"name\" must be a string, not " + KindName(v));
  if (!Utf8Of(v, &name)) Fault(where, "\"name\" is not valid Unicode");
  return std::string(name);
}

// The items of a dict, keys as text.
std::vector<std::pair<std::string, py::handle>> Items(const std::string& where, py::handle d) {
  if (!PyDict_Check(d.ptr())) Fault(where, "expected a dict, not " + KindName(d));
  std::vector<std::pair<std::string, py::handle>> items;
  for (auto item : py::reinterpret_borrow<py::dict>(d))
    items.emplace_back(TextOf(item.first), item.second);
  return items;
}

std::string ObjectLabel(const ClassPlan& c, uint64_t ordinal) {
  return c.label + ", object #" + std::to_string(ordinal);
}

// The fault of the value of member `m` of an object, made only when thrown.
struct ValueFault {
  const ClassPlan& c;
  uint64_t ordinal;
  uint32_t m;
  [[noreturn]] void operator()(const std::string& detail) const {
    Fault(ObjectLabel(c, ordinal) + ", member " + Quote(c.members[m].name), detail);
  }
};

class RepositoryBuilder {
 public:
  explicit RepositoryBuilder(const std::string& path) : path_(path) {}

  void AddClasses(py::handle classes) {
    py::object list = py::reinterpret_steal<py::object>(PySequence_List(classes.ptr()));
    if (!list) throw py::error_already_set();
    for (py::handle c : list) AddClass(c);
  }

  void AddObjects() {
    wqstore::Result spill = writer_.SpillNear(path_);
    if (!spill.ok()) {
      throw StoreError(
          wqstore::Result::Error(spill.code(), "cannot write " + path_ + ": " + spill.message()));
    }
    for (ClassPlan& c : classes_) {
      if (c.objects.is_none()) continue;
      py::object it = py::reinterpret_steal<py::object>(PyObject_GetIter(c.objects.ptr()));
      if (!it) {
        PyErr_Clear();
        Fault(c.label, "\"objects\" must be iterable, not " + KindName(c.objects));
      }
      given_.assign(c.members.size(), 0);
      uint64_t ordinal = 0;
      while (PyObject* o = PyIter_Next(it.ptr())) {
        AddObject(c, ++ordinal, py::reinterpret_steal<py::object>(o));
      }
      if (PyErr_Occurred()) throw py::error_already_set();
    }
    ResolvePending();
  }

  void Commit() {
    wqstore::Result committed;
    {
      py::gil_scoped_release nogil;
      committed = writer_.Commit(path_);
    }
    ThrowIfFailed(std::move(committed));
  }

 private:
  struct PendingRef {
    wqstore::ObjectId object;
    const ClassPlan* cls;
    uint64_t ordinal;
    uint32_t member;
    wqstore::ObjectId target;
  };

  void AddClass(py::handle d) {
    ClassPlan c;
    c.label = "class #" + std::to_string(classes_.size() + 1);
    std::string name;
    bool has_name = false, has_number = false, has_size = false;
    int32_t object_size = 0;
    py::handle members;
    c.objects = py::none();
    for (auto& [key, v] : Items(c.label, d)) {
      if (key == "name") {
        name = NameField(c.label, v);
        has_name = true;
        c.label = "class " + Quote(name);
      } else if (key == "number") {
        c.number = Int32Field(c.label, "number", v);
        has_number = true;
      } else if (key == "objectSize") {
        object_size = Int32Field(c.label, "objectSize", v);
        has_size = true;
      } else if (key == "members") {
        members = v;
      } else if (key == "objects") {
        c.objects = py::reinterpret_borrow<py::object>(v);
      } else {
        Fault(c.label, "unknown key " + Quote(key));
      }
    }
    if (!has_name) Fault(c.label, "missing key \"name\"");
    if (!has_number) {
      const int64_t n = classes_.empty() ? 1 : int64_t{max_class_number_} + 1;
      if (n > INT32_MAX) {
        Fault(c.label,
              "no \"number\" given, and one more than the largest class number so far "
              "is out of range");
      }
      c.number = static_cast<int32_t>(n);
    }
    if (classes_.empty() || c.number > max_class_number_) max_class_number_ = c.number;
    wqstore::Result added =
        has_size ? writer_.AddClass(name, c.number, object_size) : writer_.AddClass(name, c.number);
    // The writer's refusals of classes and members name the class.
    if (!added.ok()) ThrowInvalid(added.message());
    if (members && !members.is_none()) AddMembers(&c, members);
    classes_.push_back(std::move(c));
  }

  void AddMembers(ClassPlan* c, py::handle members) {
    py::object list = py::reinterpret_steal<py::object>(PySequence_List(members.ptr()));
    if (!list) {
      PyErr_Clear();
      Fault(c->label, "\"members\" must be a list, not " + KindName(members));
    }
    for (py::handle d : list) {
      MemberPlan m;
      std::string label = c->label + ", member #" + std::to_string(c->members.size() + 1);
      bool has_name = false, has_type = false, has_number = false;
      for (auto& [key, v] : Items(label, d)) {
        if (key == "name") {
          m.name = NameField(label, v);
          has_name = true;
          label = c->label + ", member " + Quote(m.name);
        } else if (key == "type") {
          if (!TypeCode(v, &m.type_code)) {
            Fault(label,
                  "\"type\" must be a code 0 to 255 or one of \"string\", \"int\", "
                  "\"double\", \"char\", \"blob\", \"ref\"");
          }
          m.type = TypeOfCode(m.type_code);
          has_type = true;
        } else if (key == "number") {
          m.number = Int32Field(label, "number", v);
          has_number = true;
        } else if (key == "nullable") {
          if (!PyBool_Check(v.ptr())) {
            Fault(label, "\"nullable\" must be true or false, not " + KindName(v));
          }
          m.nullable = v.ptr() == Py_True;
        } else {
          Fault(label, "unknown key " + Quote(key));
        }
      }
      if (!has_name) Fault(label, "missing key \"name\"");
      if (!has_type) Fault(label, "missing key \"type\"");
      if (!has_number) {
        int64_t n = 1;
        for (const MemberPlan& before : c->members)
          n = std::max<int64_t>(n, int64_t{before.number} + 1);
        if (n > INT32_MAX) {
          Fault(label,
                "no \"number\" given, and one more than the largest member number so "
                "far is out of range");
        }
        m.number = static_cast<int32_t>(n);
      }
      wqstore::Result added =
          writer_.AddMember(c->number, m.name, m.number, m.type_code, m.nullable);
      if (!added.ok()) ThrowInvalid(added.message());
      c->by_name.emplace(m.name, static_cast<uint32_t>(c->members.size()));
      c->members.push_back(std::move(m));
    }
  }

  void AddObject(const ClassPlan& c, uint64_t ordinal, py::handle values) {
    wqstore::ObjectId id;
    wqstore::Result added = writer_.AddObject(c.number, &id);
    if (!added.ok()) Fault(ObjectLabel(c, ordinal), added.message());
    ++serial_;
    if (PyDict_Check(values.ptr())) {
      PyObject* key;
      PyObject* value;
      Py_ssize_t pos = 0;
      while (PyDict_Next(values.ptr(), &pos, &key, &value)) {
        std::string_view name;
        if (!PyUnicode_Check(key) || !Utf8Of(key, &name)) {
          Fault(ObjectLabel(c, ordinal), "member names must be strings, not " + KindName(key));
        }
        auto m = c.by_name.find(std::string(name));
        if (m == c.by_name.end()) Fault(ObjectLabel(c, ordinal), "unknown member " + Quote(name));
        SetValue(c, ordinal, id, m->second, value, false);
      }
    } else if (PySequence_Check(values.ptr()) && !PyUnicode_Check(values.ptr()) &&
               !PyBytes_Check(values.ptr()) && !PyByteArray_Check(values.ptr())) {
      py::object seq = py::reinterpret_steal<py::object>(PySequence_Fast(values.ptr(), ""));
      if (!seq) throw py::error_already_set();
      const Py_ssize_t n = PySequence_Fast_GET_SIZE(seq.ptr());
      if (static_cast<size_t>(n) != c.members.size()) {
        Fault(ObjectLabel(c, ordinal),
              std::to_string(n) + " values for " + std::to_string(c.members.size()) + " members");
      }
      PyObject** items = PySequence_Fast_ITEMS(seq.ptr());
      for (Py_ssize_t m = 0; m < n; ++m) {
        SetValue(c, ordinal, id, static_cast<uint32_t>(m), items[m], true);
      }
    } else {
      Fault(ObjectLabel(c, ordinal),
            "expected a dict of values by member name or a sequence of values, not " +
                KindName(values));
    }
    for (uint32_t m = 0; m < c.members.size(); ++m) {
      const MemberPlan& member = c.members[m];
      const bool can_be_null =
          member.type == wqstore::DataType::kString || member.type == wqstore::DataType::kReference;
      if (can_be_null && !member.nullable && given_[m] != serial_) {
        Fault(ObjectLabel(c, ordinal),
              "no value for member " + Quote(member.name) + ", which is not nullable");
      }
    }
  }

  // Converts `v` for member `m` and sets it; `positional` lets None stand
  // for a member of a type that stores nothing.
  void SetValue(const ClassPlan& c, uint64_t ordinal, const wqstore::ObjectId& id, uint32_t m,
                py::handle v, bool positional) {
    const MemberPlan& member = c.members[m];
    const ValueFault fault{c, ordinal, m};
    wqstore::Result set;
    switch (member.type) {
      case wqstore::DataType::kNoValue:
        if (positional && v.is_none()) return;
        fault("a member of type code " + std::to_string(member.type_code) + " takes no value");
      case wqstore::DataType::kString: {
        std::string_view text;
        if (v.is_none()) {
          if (!member.nullable) fault("null given for a member that is not nullable");
          set = writer_.SetNull(id, member.number);
          break;
        }
        if (!PyUnicode_Check(v.ptr())) fault("expected a string or null, not " + KindName(v));
        if (!Utf8Of(v, &text)) fault("a string value cannot hold a lone surrogate");
        if (text.find('\0') != std::string_view::npos) fault("a string value cannot hold U+0000");
        set = writer_.SetString(id, member.number, text);
        break;
      }
      case wqstore::DataType::kInt: {
        int32_t n;
        if (!IsInteger(v)) fault("expected an integer, not " + KindName(v));
        if (!FitsInt32(v, &n)) fault(std::string("integer out of range ") + kIntRange);
        set = writer_.SetInt(id, member.number, n);
        break;
      }
      case wqstore::DataType::kDouble: {
        double d;
        if (PyBool_Check(v.ptr()) || PyUnicode_Check(v.ptr()) ||
            (!PyFloat_Check(v.ptr()) && !IsInteger(v) &&
             (Py_TYPE(v.ptr())->tp_as_number == nullptr ||
              Py_TYPE(v.ptr())->tp_as_number->nb_float == nullptr))) {
          fault("expected a number, not " + KindName(v));
        }
        if (PyLong_Check(v.ptr())) {
          d = PyLong_AsDouble(v.ptr());
        } else if (!PyFloat_Check(v.ptr()) && IsInteger(v)) {
          py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(v.ptr()));
          if (!index) throw py::error_already_set();
          d = PyLong_AsDouble(index.ptr());
        } else {
          d = PyFloat_AsDouble(v.ptr());
        }
        if (d == -1.0 && PyErr_Occurred()) {
          if (!PyErr_ExceptionMatches(PyExc_OverflowError)) throw py::error_already_set();
          PyErr_Clear();
          fault("number out of range");
        }
        set = writer_.SetDouble(id, member.number, d);
        break;
      }
      case wqstore::DataType::kChar: {
        int32_t code = 0;
        if (PyUnicode_Check(v.ptr())) {
          if (PyUnicode_GetLength(v.ptr()) != 1 || PyUnicode_ReadChar(v.ptr(), 0) > 0xFF) {
            fault("expected a one-character string in U+0000 to U+00FF");
          }
          code = static_cast<int32_t>(PyUnicode_ReadChar(v.ptr(), 0));
        } else if (IsInteger(v)) {
          if (!FitsInt32(v, &code) || code < 0 || code > 255) {
            fault("character code out of range (0 to 255)");
          }
        } else if (!v.is_none()) {  // None is code 0, as the reading side gives it
          fault("expected a character code or a one-character string, not " + KindName(v));
        }
        set = writer_.SetChar(id, member.number, static_cast<unsigned char>(code));
        break;
      }
      case wqstore::DataType::kBlob: {
        if (PyUnicode_Check(v.ptr()) || !PyObject_CheckBuffer(v.ptr())) {
          fault("expected bytes, not " + KindName(v));
        }
        Py_buffer view;
        if (PyObject_GetBuffer(v.ptr(), &view, PyBUF_SIMPLE) != 0) {
          PyErr_Clear();
          fault("expected bytes (a contiguous buffer), not " + KindName(v));
        }
        set = writer_.SetBlob(
            id, member.number,
            std::string_view(static_cast<const char*>(view.buf), static_cast<size_t>(view.len)));
        PyBuffer_Release(&view);
        break;
      }
      case wqstore::DataType::kReference: {
        if (v.is_none()) {
          if (!member.nullable) fault("null given for a member that is not nullable");
          set = writer_.SetNull(id, member.number);
          break;
        }
        std::string_view text;
        wqstore::ObjectId target;
        if (!PyUnicode_Check(v.ptr())) {
          fault("expected an object id (a string) or null, not " + KindName(v));
        }
        if (!Utf8Of(v, &text) || !wqstore::ObjectId::Parse(text, &target).ok()) {
          fault(Quote(TextOf(v)) + " is not an object id (CLASSNUMBER:POSITION)");
        }
        if (target.position < 0 || target.position >= writer_.object_count(target.class_number)) {
          pending_.push_back(PendingRef{id, &c, ordinal, m, target});
          given_[m] = serial_;
          return;
        }
        set = writer_.SetReference(id, member.number, target);
        break;
      }
    }
    if (!set.ok()) fault(set.message());
    given_[m] = serial_;
  }

  void ResolvePending() {
    for (const PendingRef& p : pending_) {
      const ValueFault fault{*p.cls, p.ordinal, p.member};
      if (p.target.position < 0 ||
          p.target.position >= writer_.object_count(p.target.class_number)) {
        fault("unknown object id " + Quote(p.target.ToString()));
      }
      wqstore::Result set =
          writer_.SetReference(p.object, p.cls->members[p.member].number, p.target);
      if (!set.ok()) fault(set.message());
    }
  }

  const std::string path_;
  wqstore::Writer writer_;
  std::vector<ClassPlan> classes_;
  int32_t max_class_number_ = 0;
  std::vector<PendingRef> pending_;
  uint64_t serial_ = 0;          // counts objects
  std::vector<uint64_t> given_;  // per member: serial_ of the last object giving it
};

}  // namespace

void WriteRepository(const std::string& path, py::handle classes) {
  if (PyDict_Check(classes.ptr())) {
    PyObject* list = PyDict_GetItemString(classes.ptr(), "classes");
    if (list == nullptr) ThrowInvalid("top level: missing key \"classes\"");
    classes = list;
  }
  RepositoryBuilder builder(path);
  builder.AddClasses(classes);
  builder.AddObjects();
  builder.Commit();
}

}  // namespace wqpy
