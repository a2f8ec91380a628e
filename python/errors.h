// The package's exceptions: wqstore.Error and its subclasses for a file or
// name not found, a damaged file and a file changed on disk, and the one
// way C++ code raises them (throw StoreError, which the module translates).
#ifndef WQSQL_PYTHON_ERRORS_H_
#define WQSQL_PYTHON_ERRORS_H_

#include <pybind11/pybind11.h>

#include <string>

#include "wqstore/result.h"

namespace wqpy {

// Carries a failed Result to the translator, which raises the exception of
// its code with its message.
class StoreError {
 public:
  explicit StoreError(wqstore::Result result) : result_(std::move(result)) {}
  const wqstore::Result& result() const { return result_; }

 private:
  wqstore::Result result_;
};

// Throws StoreError when `r` failed.
inline void ThrowIfFailed(wqstore::Result r) {
  if (!r.ok()) throw StoreError(std::move(r));
}

// A failure of the caller's data (a write's classes and values): wqstore.Error
// with the code "invalid argument".
[[noreturn]] void ThrowInvalid(const std::string& message);

// Creates the exception classes in `m` and registers the translator.
void DefineErrors(pybind11::module_& m);

}  // namespace wqpy

#endif  // WQSQL_PYTHON_ERRORS_H_
