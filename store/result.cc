// wqstore::Result and the library's version.
#include "wqstore/result.h"

#include "wqstore/version.h"

namespace wqstore {

struct Result::Rep {
  Code code;
  std::string message;
};

Result Result::Error(Code code, std::string_view message) {
  Result r;
  r.rep_ = new Rep{code == kOk ? kInvalidArgument : code, std::string(message)};
  return r;
}

Result::Result(const Result& other)
    : rep_(other.rep_ != nullptr ? new Rep(*other.rep_) : nullptr) {}

Result& Result::operator=(const Result& other) {
  if (this != &other) {
    Rep* copy = other.rep_ != nullptr ? new Rep(*other.rep_) : nullptr;
    delete rep_;
    rep_ = copy;
  }
  return *this;
}

Result& Result::operator=(Result&& other) noexcept {
  if (this != &other) {
    delete rep_;
    rep_ = other.rep_;
    other.rep_ = nullptr;
  }
  return *this;
}

Result::~Result() { delete rep_; }

Result::Code Result::code() const { return rep_ != nullptr ? rep_->code : kOk; }

const std::string& Result::message() const {
  static const std::string kNone;
  return rep_ != nullptr ? rep_->message : kNone;
}

std::string Result::ToString() const {
  if (ok()) return "ok";
  return std::string(CodeName(rep_->code)) + ": " + rep_->message;
}

const char* Result::CodeName(Code code) {
  switch (code) {
    case kOk: return "ok";
    case kNotFound: return "not found";
    case kDamaged: return "damaged";
    case kIoError: return "I/O error";
    case kInvalidArgument: return "invalid argument";
    case kChangedOnDisk: return "changed on disk";
    case kOutOfMemory: return "out of memory";
    case kTypeMismatch: return "type mismatch";
  }
  return "unknown";
}

const char* Version() { return WQSTORE_VERSION_STRING; }

}  // namespace wqstore
