// CommandErrors: what went wrong in a command, as its handler hands it back
// to the shell, which words each error and prints it as one "*E* " line, in
// the order they arose. A command may end with more than one: a table cut
// short by Ctrl-C, then the file found changed while it was read.
#ifndef WQSQL_REPOSITORY_COMMAND_ERRORS_H_
#define WQSQL_REPOSITORY_COMMAND_ERRORS_H_

#include <string>
#include <utility>
#include <vector>

enum class ErrorCode {
  kUsage,              // the command line is wrong; `subject` says how
  kConnectFailed,      // `subject`: the path and the store's reason
  kNotConnected,       // no repository is connected
  kChangedOnDisk,      // `subject`: the path as typed at connect
  kClassNotFound,      // `subject`: the class name as typed
  kClassNameExpected,  // descr without a class name
  kColumnNotFound,     // `subject`: the column name as typed
  kInterrupted,        // Ctrl-C stopped the command
};

struct CommandError {
  ErrorCode code;
  std::string subject;
};

class [[nodiscard]] CommandErrors {
 public:
  // Nothing went wrong.
  CommandErrors() = default;
  // One error.
  explicit CommandErrors(ErrorCode code, std::string subject = {}) {
    Add(code, std::move(subject));
  }

  void Add(ErrorCode code, std::string subject = {}) {
    errors_.push_back(CommandError{code, std::move(subject)});
  }
  void Append(const CommandErrors& more) {
    errors_.insert(errors_.end(), more.errors_.begin(), more.errors_.end());
  }

  bool ok() const { return errors_.empty(); }
  const std::vector<CommandError>& list() const { return errors_; }

 private:
  std::vector<CommandError> errors_;
};

#endif  // WQSQL_REPOSITORY_COMMAND_ERRORS_H_
