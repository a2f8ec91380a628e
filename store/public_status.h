// The one place an internal Status becomes a public wqstore::Result: its
// kind becomes the Result's code, and a failure of unspecified kind takes
// the code the caller knows it for.
#ifndef WQSQL_STORE_PUBLIC_STATUS_H_
#define WQSQL_STORE_PUBLIC_STATUS_H_

#include <string>

#include "platform/status.h"
#include "wqstore/result.h"

namespace wqstore {

inline Result::Code CodeOf(Status::Kind kind, Result::Code unspecified) {
  switch (kind) {
    case Status::Kind::kUnspecified: return unspecified;
    case Status::Kind::kNotFound: return Result::kNotFound;
    case Status::Kind::kDamaged: return Result::kDamaged;
    case Status::Kind::kIoError: return Result::kIoError;
    case Status::Kind::kInvalidArgument: return Result::kInvalidArgument;
    case Status::Kind::kChangedOnDisk: return Result::kChangedOnDisk;
    case Status::Kind::kOutOfMemory: return Result::kOutOfMemory;
    case Status::Kind::kTypeMismatch: return Result::kTypeMismatch;
  }
  return unspecified;
}

// `s` as a Result, its message after `prefix`.
inline Result ToResult(const Status& s, Result::Code unspecified, const std::string& prefix = "") {
  if (s.ok()) return Result::Ok();
  return Result::Error(CodeOf(s.kind(), unspecified), prefix + s.message());
}

}  // namespace wqstore

#endif  // WQSQL_STORE_PUBLIC_STATUS_H_
