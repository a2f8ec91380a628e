// Where a fault of a JSON source is and how a message shows it: the line and
// column of a byte offset, the start of the token found from a scan start,
// the "NAME:LINE:COLUMN: detail" status of a fault, and text quoted for a
// one-line message.
#ifndef WQSQL_TOOLS_MAKE_SOURCE_FAULTS_H_
#define WQSQL_TOOLS_MAKE_SOURCE_FAULTS_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace wqsource {

// 1-based line and column of a byte offset in `text`. Lines end at '\n';
// columns count characters (UTF-8 sequences), not bytes.
struct LineColumn {
  size_t line = 0;
  size_t column = 0;
};
LineColumn LocateOffset(std::string_view text, size_t offset);

// `text` in double quotes for an error message: quotes, backslashes and
// control characters escaped so the message stays on one line, and cut with
// "..." past `max_chars` characters.
std::string Quote(std::string_view text, size_t max_chars = 60);

// The text of a source and the name its messages give it.
class SourceText {
 public:
  // With an empty `name` messages start at the line.
  explicit SourceText(std::string_view text, std::string_view name = {})
      : text_(text), name_(name) {}

  std::string_view text() const { return text_; }

  // The offset of the token that a scan from `from` finds: blanks, commas
  // and colons are passed over, and a byte order mark at the very start.
  // Positions are kept as scan starts where only messages need them;
  // resolving the offset of a token gives that offset again.
  size_t TokenStart(size_t from) const;

  // A failed status "NAME:LINE:COLUMN: detail" for the character at
  // `offset`, or "LINE:COLUMN: detail" without a name.
  Status FaultAt(size_t offset, const std::string& detail) const;
  // The same at the token a scan from `from` finds.
  Status FaultAtToken(size_t from, const std::string& detail) const {
    return FaultAt(TokenStart(from), detail);
  }

 private:
  std::string_view text_;
  std::string_view name_;
};

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_SOURCE_FAULTS_H_
