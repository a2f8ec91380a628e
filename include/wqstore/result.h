// Result: the outcome of a call that can fail. Success carries nothing and
// costs one null pointer; a failure carries a code a program can act on and
// a message for people that says what went wrong and where (for a file,
// "PATH: what", as wqcheck prints it).
//
// Every call of the library that can fail returns a Result; none throws,
// except std::bad_alloc where a caller's own container cannot grow.
#ifndef WQSTORE_RESULT_H_
#define WQSTORE_RESULT_H_

#include <string>
#include <string_view>

#include "wqstore/export.h"

namespace wqstore {

class [[nodiscard]] WQSTORE_EXPORT Result {
 public:
  enum Code : int {
    kOk = 0,
    kNotFound = 1,         // no such file, class, member or object
    kDamaged = 2,          // the file breaks a rule of the format
    kIoError = 3,          // the system refused a read or a write
    kInvalidArgument = 4,  // the call's arguments are not usable
    kChangedOnDisk = 5,    // the open file was changed or cut short
    kOutOfMemory = 6,
    kTypeMismatch = 7,  // a read or write of a member of another type
  };

  // Success.
  Result() noexcept = default;
  static Result Ok() { return Result(); }
  static Result Error(Code code, std::string_view message);

  Result(const Result& other);
  Result& operator=(const Result& other);
  Result(Result&& other) noexcept : rep_(other.rep_) { other.rep_ = nullptr; }
  Result& operator=(Result&& other) noexcept;
  ~Result();

  bool ok() const { return rep_ == nullptr; }
  Code code() const;
  // Empty on success.
  const std::string& message() const;
  // "ok", or the code's name, ": " and the message.
  std::string ToString() const;

  // "ok", "not found", "damaged", "I/O error", "invalid argument", "changed
  // on disk", "out of memory", "type mismatch".
  static const char* CodeName(Code code);

 private:
  struct Rep;
  Rep* rep_ = nullptr;  // null: success
};

}  // namespace wqstore

#endif  // WQSTORE_RESULT_H_
