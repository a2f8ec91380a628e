// Status: the outcome of an operation that can fail, carrying the message
// that says what went wrong and where. Inside the store and the tools every
// fallible function returns one; only the public interfaces turn a failed
// status into an exception or a report.
#ifndef WQSQL_PLATFORM_STATUS_H_
#define WQSQL_PLATFORM_STATUS_H_

#include <string>
#include <utility>

class [[nodiscard]] Status {
 public:
  // Success.
  Status() = default;
  static Status OK() { return Status(); }
  static Status Error(std::string message) { return Status(std::move(message)); }

  bool ok() const { return !failed_; }
  // Empty on success.
  const std::string& message() const { return message_; }

  // The same failure with `context` put in front of its message; success
  // stays success.
  Status Prefixed(const std::string& context) const {
    return ok() ? Status() : Status(context + message_);
  }

 private:
  explicit Status(std::string message) : failed_(true), message_(std::move(message)) {}

  bool failed_ = false;
  std::string message_;
};

// Returns from the calling function when `expr` gives a failed status.
#define WQ_RETURN_IF_ERROR(expr)      \
  do {                                \
    Status wq_status_ = (expr);       \
    if (!wq_status_.ok()) return wq_status_; \
  } while (0)

#endif  // WQSQL_PLATFORM_STATUS_H_
