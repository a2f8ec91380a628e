// The extension module wqstore._wqstore: open() and the Repository, Class
// and Member types on the store's public face, and write(). The package's
// __init__.py re-exports it; its docstrings are the reference.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "python/class_reader.h"
#include "python/errors.h"
#include "python/session.h"
#include "python/values.h"
#include "python/write.h"
#include "wqstore/wqstore.h"

namespace wqpy {
namespace py = pybind11;
using namespace pybind11::literals;

namespace {

// Objects per batch of rows(): each batch is one call, checked for a
// change of the file before and after.
constexpr int32_t kRowBatch = 4096;

// A path given as str, bytes or os.PathLike, in the file system's encoding.
std::string PathOf(py::handle path) {
  py::object fs = py::reinterpret_steal<py::object>(PyOS_FSPath(path.ptr()));
  if (!fs) throw py::error_already_set();
  if (PyBytes_Check(fs.ptr())) return std::string(py::bytes(fs));
  py::object encoded = py::reinterpret_steal<py::object>(PyUnicode_EncodeFSDefault(fs.ptr()));
  if (!encoded) throw py::error_already_set();
  return std::string(py::bytes(encoded));
}

struct Member {
  std::string name;
  int32_t number;
  std::string type;
  int type_code;
  bool nullable;
};

class Class {
 public:
  Class(std::shared_ptr<Session> session, const wqstore::ClassDef& cls)
      : session_(std::move(session)),
        cls_(cls),
        fields_(FieldsOf(cls)),
        name_(cls.name()),
        number_(cls.number()),
        object_size_(cls.object_size()) {
    for (const Field& f : fields_) {
      members_.push_back(Member{std::string(f.member.name()), f.member.number(),
                                f.member.type_name(), f.member.type_code(), f.member.nullable()});
    }
  }

  const std::string& name() const { return name_; }
  int32_t number() const { return number_; }
  int32_t object_size() const { return object_size_; }
  const std::vector<Member>& members() const { return members_; }

  int32_t Length() const {
    Call call(*session_);
    return cls_.object_count();
  }

  py::object Column(const std::string& name) const {
    Call call(*session_);
    wqstore::Member m;
    if (!cls_.FindMemberByName(name, &m).ok()) {
      throw py::key_error("class \"" + name_ + "\" has no member \"" + name + "\"");
    }
    py::object array = ColumnArray(call, cls_, FieldOf(cls_, m), Clamp(cls_, 0, INT64_MAX));
    call.Finish();
    return array;
  }

  py::object ToPandas(int64_t start, std::optional<int64_t> stop) const {
    Call call(*session_);
    py::object frame = ClassFrame(call, cls_, Clamp(cls_, start, stop.value_or(INT64_MAX)));
    call.Finish();
    return frame;
  }

  // The next batch of rows from `*at`, advanced; empty at the end.
  py::list RowBatch(int32_t* at, std::vector<Cell>* cells) const {
    Call call(*session_);
    const Span span = Clamp(cls_, *at, int64_t{*at} + kRowBatch);
    py::list rows = RowTuples(call, cls_, fields_, span, cells);
    call.Finish();
    *at = span.end;
    return rows;
  }

  // This class as an item of the list write() takes.
  py::dict Source() const {
    Call call(*session_);
    py::list members;
    for (const Field& f : fields_) {
      members.append(py::dict("name"_a = std::string(f.member.name()),
                              "type"_a = TypeForSource(f.member), "number"_a = f.member.number(),
                              "nullable"_a = f.member.nullable()));
    }
    py::dict d("name"_a = name_, "number"_a = number_, "objectSize"_a = object_size_,
               "members"_a = members,
               "objects"_a = ObjectDicts(call, cls_, Clamp(cls_, 0, INT64_MAX)));
    call.Finish();
    return d;
  }

  std::string Repr() const {
    return "<wqstore.Class \"" + name_ + "\" number=" + std::to_string(number_) + ">";
  }

 private:
  std::shared_ptr<Session> session_;
  wqstore::ClassDef cls_;
  std::vector<Field> fields_;
  std::string name_;
  int32_t number_;
  int32_t object_size_;
  std::vector<Member> members_;
};

// The batches of rows(), for itertools.chain.from_iterable.
class RowBatches {
 public:
  explicit RowBatches(std::shared_ptr<const Class> cls) : cls_(std::move(cls)) {}
  py::list Next() {
    py::list batch = cls_->RowBatch(&at_, &cells_);
    if (batch.empty()) throw py::stop_iteration();
    return batch;
  }

 private:
  std::shared_ptr<const Class> cls_;
  int32_t at_ = 0;
  std::vector<Cell> cells_;
};

class Repository {
 public:
  explicit Repository(const std::string& path) : session_(std::make_shared<Session>()) {
    std::unique_ptr<wqstore::Repository> repository;
    wqstore::Result opened;
    {
      py::gil_scoped_release nogil;
      opened = wqstore::Repository::Open(path, &repository);
    }
    ThrowIfFailed(std::move(opened));
    session_->path = path;
    session_->repository = std::move(repository);
  }

  const std::string& path() const { return session_->path; }
  bool closed() const { return session_->repository == nullptr; }
  void Close() { session_->repository.reset(); }

  std::vector<std::shared_ptr<Class>> Classes() const {
    Call call(*session_);
    std::vector<std::shared_ptr<Class>> classes;
    for (int32_t i = 0; i < call.repository().class_count(); ++i) {
      classes.push_back(std::make_shared<Class>(session_, call.repository().class_at(i)));
    }
    return classes;
  }

  std::shared_ptr<Class> Find(const std::string& name) const {
    Call call(*session_);
    wqstore::ClassDef cls;
    if (!call.repository().FindClass(name, &cls).ok()) throw py::key_error(name);
    return std::make_shared<Class>(session_, cls);
  }

  bool Contains(const std::string& name) const {
    Call call(*session_);
    wqstore::ClassDef cls;
    return call.repository().FindClass(name, &cls).ok();
  }

  int32_t Length() const {
    Call call(*session_);
    return call.repository().class_count();
  }

  void Validate() const {
    Call call(*session_);
    wqstore::Result valid;
    {
      py::gil_scoped_release nogil;
      valid = call.repository().Validate();
    }
    ThrowIfFailed(std::move(valid));
  }

  py::list ToClasses() const {
    py::list classes;
    for (const auto& c : Classes()) classes.append(c->Source());
    return classes;
  }

 private:
  std::shared_ptr<Session> session_;
};

}  // namespace
}  // namespace wqpy

PYBIND11_MODULE(_wqstore, m) {
  using namespace wqpy;
  m.doc() = "Repository files of the wqsql store: reading, columns as numpy arrays, writing.";
  DefineErrors(m);
  m.attr("__version__") = wqstore::Version();

  py::class_<Member>(m, "Member", "A member of a class (read-only).")
      .def_readonly("name", &Member::name, "The member's name.")
      .def_readonly("number", &Member::number, "The member's number within its class.")
      .def_readonly("type", &Member::type,
                    "The store's type name: \"string\", \"int\", \"double\", \"char\", "
                    "\"blob\", \"ref\", or \"type\" and the code for a type that stores nothing.")
      .def_readonly("type_code", &Member::type_code, "The type code, 0 to 255, as stored.")
      .def_readonly("nullable", &Member::nullable, "Whether the member may be null.")
      .def("__repr__", [](const Member& mb) {
        return "<wqstore.Member \"" + mb.name + "\" number=" + std::to_string(mb.number) +
               " type=" + mb.type + (mb.nullable ? "" : " not null") + ">";
      });

  py::class_<Class, std::shared_ptr<Class>>(m, "Class", "A class of an open repository.")
      .def_property_readonly("name", &Class::name, "The class's name.")
      .def_property_readonly("number", &Class::number, "The class's number.")
      .def_property_readonly("object_size", &Class::object_size,
                             "The object size the file declares for the class.")
      .def_property_readonly("members", &Class::members, "The members, in stored order.")
      .def("__len__", &Class::Length, "The number of objects; reads none of them.")
      .def("column", &Class::Column, "name"_a,
           "The values of one member (found by exact name, else ignoring case) for every "
           "object, as a numpy array. Int and double members give a read-only view of the "
           "file (int32 or float64, strided, no copy) that keeps the file mapped while it "
           "lives; strings, chars, blobs and references give an object array (None for "
           "null). KeyError when the class has no such member.")
      .def("to_pandas", &Class::ToPandas, "start"_a = 0, "stop"_a = py::none(),
           "The objects from position start up to stop (all by default) as a pandas "
           "DataFrame: one column per member in member order, indexed by position.")
      .def(
          "rows",
          [](std::shared_ptr<Class> self) {
            return py::module_::import("itertools")
                .attr("chain")
                .attr("from_iterable")(RowBatches(std::move(self)));
          },
          "An iterator over the objects as tuples of values in member order.")
      .def("to_source", &Class::Source,
           "The class as a dict in the form write() takes, its objects as dicts of values "
           "by member name.")
      .def("__repr__", &Class::Repr);

  py::class_<RowBatches>(m, "_RowBatches")
      .def("__iter__", [](py::object self) { return self; })
      .def("__next__", &RowBatches::Next);

  py::class_<Repository>(m, "Repository", "A repository file opened read-only.")
      .def(py::init([](py::object path) { return new Repository(PathOf(path)); }), "path"_a,
           "Opens the file: the same as wqstore.open(path).")
      .def_property_readonly("path", &Repository::path, "The path the file was opened by.")
      .def_property_readonly("closed", &Repository::closed, "True after close().")
      .def_property_readonly("classes", &Repository::Classes, "The classes, in stored order.")
      .def("__getitem__", &Repository::Find, "name"_a,
           "The class with exactly that name, else the first whose name is equal ignoring "
           "case; KeyError when there is none.")
      .def("__contains__", &Repository::Contains, "name"_a)
      .def("__len__", &Repository::Length, "The number of classes.")
      .def(
          "__iter__", [](const Repository& r) { return py::iter(py::cast(r.Classes())); },
          "Iterates the classes in stored order.")
      .def("validate", &Repository::Validate,
           "Checks every checksum and rule of the whole file, as wqcheck does; raises "
           "DamagedError with the first fault.")
      .def("to_source", &Repository::ToClasses,
           "Every class as write() takes it: write(path, repo.to_source()) rebuilds the file.")
      .def("close", &Repository::Close,
           "Lets the file go; arrays handed out keep it mapped until they go. Calls on the "
           "repository or its classes after close() raise wqstore.Error.")
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](Repository& r, py::args) { r.Close(); })
      .def("__repr__", [](const Repository& r) {
        return "<wqstore.Repository \"" + r.path() + "\"" + (r.closed() ? " closed" : "") + ">";
      });

  m.def(
      "open", [](py::object path) { return new Repository(PathOf(path)); }, "path"_a,
      "Opens a repository file read-only. Checks its header, directory and tables in time "
      "independent of the number of objects; raises NotFoundError, DamagedError or Error.");
  m.def(
      "write", [](py::object path, py::handle classes) { WriteRepository(PathOf(path), classes); },
      "path"_a, "classes"_a,
      "Builds a repository from a list of class dicts and writes it to path atomically.");
}
