// A BufferedWriter whose target is a string, for tests of code that writes
// through one: a small buffer, so that the writes go through its flushes,
// and a target that can be made to fail after a number of bytes.
#ifndef WQSQL_TESTS_SUPPORT_STRING_WRITER_H_
#define WQSQL_TESTS_SUPPORT_STRING_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/buffered_writer.h"

namespace wqtest {

class StringWriter final : public BufferedWriter {
 public:
  explicit StringWriter(size_t buffer_size = kRoomMax, size_t fail_after = SIZE_MAX)
      : BufferedWriter(buffer_size), fail_after_(fail_after) {}

  // What the target took, after a flush.
  const std::string& text() {
    Flush();
    return text_;
  }
  int emits() const { return emits_; }

 private:
  bool Emit(const char* p, size_t n) override {
    ++emits_;
    if (text_.size() + n > fail_after_) return false;
    text_.append(p, n);
    return true;
  }

  size_t fail_after_;
  std::string text_;
  int emits_ = 0;
};

}  // namespace wqtest

#endif  // WQSQL_TESTS_SUPPORT_STRING_WRITER_H_
