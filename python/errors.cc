// The exception classes, made once at import, and the translator from a
// StoreError to the class of its code.
#include "python/errors.h"

namespace wqpy {
namespace py = pybind11;

namespace {

// The classes, owned by the module once it is imported.
PyObject* error = nullptr;
PyObject* not_found_error = nullptr;
PyObject* damaged_error = nullptr;
PyObject* changed_error = nullptr;

PyObject* ClassOf(wqstore::Result::Code code) {
  switch (code) {
    case wqstore::Result::kNotFound: return not_found_error;
    case wqstore::Result::kDamaged: return damaged_error;
    case wqstore::Result::kChangedOnDisk: return changed_error;
    default: return error;
  }
}

PyObject* NewClass(py::module_& m, const char* name, const char* doc, PyObject* base) {
  const std::string qualified = std::string("wqstore.") + name;
  PyObject* cls = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, base, nullptr);
  if (cls == nullptr) throw py::error_already_set();
  m.add_object(name, py::handle(cls));  // the module keeps a reference
  return cls;
}

// Raises `cls` with `message`, its `code` attribute the code's name.
void Raise(PyObject* cls, wqstore::Result::Code code, const std::string& message) {
  PyObject* text =
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace");
  if (text == nullptr) return;  // the failure to make it is raised instead
  PyObject* exc = PyObject_CallOneArg(cls, text);
  Py_DECREF(text);
  if (exc == nullptr) return;
  PyObject* name = PyUnicode_FromString(wqstore::Result::CodeName(code));
  if (name != nullptr) {
    PyObject_SetAttrString(exc, "code", name);
    Py_DECREF(name);
  }
  PyErr_SetObject(cls, exc);
  Py_DECREF(exc);
}

}  // namespace

void ThrowInvalid(const std::string& message) {
  throw StoreError(wqstore::Result::Error(wqstore::Result::kInvalidArgument, message));
}

void DefineErrors(py::module_& m) {
  error = NewClass(m, "Error",
                   "A failure of the store: its message says what and where, its `code` the "
                   "kind (\"not found\", \"damaged\", \"I/O error\", \"invalid argument\", "
                   "\"changed on disk\", \"out of memory\", \"type mismatch\").",
                   PyExc_Exception);
  not_found_error = NewClass(m, "NotFoundError", "No such repository file.", error);
  damaged_error =
      NewClass(m, "DamagedError", "The file breaks a rule of the repository format.", error);
  changed_error = NewClass(m, "ChangedOnDiskError",
                           "The open file was changed or cut short since it was opened.", error);
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const StoreError& e) {
      const wqstore::Result& r = e.result();
      Raise(ClassOf(r.code()), r.code(), r.message());
    }
  });
}

}  // namespace wqpy
