// TextSink: the buffered writer that wqdump's formats write through, to
// standard output or to a file that replaces its target atomically (a
// temporary file in the same folder, renamed at the end). Values are
// formatted straight into the buffer (BufferedWriter: Room, Commit, Write,
// Text, Str, Put). The first write error is kept and later output
// discarded; Finish reports it.
#ifndef WQSQL_TOOLS_COMMON_TEXT_SINK_H_
#define WQSQL_TOOLS_COMMON_TEXT_SINK_H_

#include <cstddef>
#include <memory>
#include <string>

#include "platform/buffered_writer.h"
#include "platform/status.h"
#include "store/atomic_file.h"

namespace wqtools {

class TextSink final : public BufferedWriter {
 public:
  static constexpr size_t kBufferSize = 1 << 20;

  // Writes to standard output.
  TextSink();
  // Writes to a temporary file that Finish renames to `path`; a sink that
  // is dropped unfinished leaves nothing behind.
  static Status ToFile(const std::string& path, std::unique_ptr<TextSink>* sink);

  // Writes out what is buffered and, for a file, renames it into place.
  // Fails with the first write error.
  Status Finish();

 private:
  bool Emit(const char* p, size_t n) override;

  std::unique_ptr<wqstore::AtomicFile> file_;  // null: standard output
  std::string target_;                         // the file's path as messages show it
  Status status_;
};

}  // namespace wqtools

#endif  // WQSQL_TOOLS_COMMON_TEXT_SINK_H_
