// Session: one repository opened from Python, shared by the Repository
// object and every Class handed out from it. close() drops the session's
// hold on the file; arrays handed out keep their own (Keeper), so the
// mapping goes when the last of them goes.
//
// Call: the frame of every call that reads the file. It fails at once when
// the repository is closed or the file changed since it was opened, and
// Finish() fails when it changed while the call ran, so that no call
// returns values read from a file cut short without saying so.
#ifndef WQSQL_PYTHON_SESSION_H_
#define WQSQL_PYTHON_SESSION_H_

#include <pybind11/pybind11.h>

#include <memory>
#include <string>

#include "python/errors.h"
#include "wqstore/repository.h"

namespace wqpy {

using RepositoryPtr = std::shared_ptr<const wqstore::Repository>;

struct Session {
  RepositoryPtr repository;  // null once closed
  std::string path;
};

class Call {
 public:
  explicit Call(const Session& session) : repository_(session.repository) {
    if (repository_ == nullptr) {
      ThrowInvalid(session.path + ": repository is closed");
    }
    ThrowIfFailed(repository_->CheckUnchanged());
  }

  const wqstore::Repository& repository() const { return *repository_; }
  // The hold on the file, for what outlives the call.
  const RepositoryPtr& shared() const { return repository_; }
  void Finish() const { ThrowIfFailed(repository_->CheckUnchanged()); }

 private:
  RepositoryPtr repository_;
};

// A Python object that keeps the repository mapped: the base of the arrays
// that are views of the file.
pybind11::capsule Keeper(const RepositoryPtr& repository);

}  // namespace wqpy

#endif  // WQSQL_PYTHON_SESSION_H_
