// Status: the outcome of an operation that can fail, carrying the message
// that says what went wrong and where, and what kind of failure it is where
// the code that failed knows. Inside the store and the tools every fallible
// function returns one; the store's public face turns it into a
// wqstore::Result, the shell's interface into an exception or a report.
#ifndef WQSQL_PLATFORM_STATUS_H_
#define WQSQL_PLATFORM_STATUS_H_

#include <string>
#include <utility>

class [[nodiscard]] Status {
 public:
  // The kinds a failure can be; kUnspecified leaves it to the caller, who
  // knows what was being done (reading a file's tables: it is damaged).
  enum class Kind {
    kUnspecified,
    kNotFound,
    kDamaged,
    kIoError,
    kInvalidArgument,
    kChangedOnDisk,
    kOutOfMemory,
    kTypeMismatch,
  };

  // Success.
  Status() = default;
  static Status OK() { return Status(); }
  static Status Error(std::string message) {
    return Status(Kind::kUnspecified, std::move(message));
  }
  static Status Error(Kind kind, std::string message) { return Status(kind, std::move(message)); }

  bool ok() const { return !failed_; }
  Kind kind() const { return kind_; }
  // Empty on success.
  const std::string& message() const { return message_; }

  // The same failure with `context` put in front of its message; success
  // stays success.
  Status Prefixed(const std::string& context) const {
    return ok() ? Status() : Status(kind_, context + message_);
  }

 private:
  Status(Kind kind, std::string message)
      : failed_(true), kind_(kind), message_(std::move(message)) {}

  bool failed_ = false;
  Kind kind_ = Kind::kUnspecified;
  std::string message_;
};

// Returns from the calling function when `expr` gives a failed status.
#define WQ_RETURN_IF_ERROR(expr)             \
  do {                                       \
    Status wq_status_ = (expr);              \
    if (!wq_status_.ok()) return wq_status_; \
  } while (0)

#endif  // WQSQL_PLATFORM_STATUS_H_
