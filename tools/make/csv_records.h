// CsvRecords: the records of a CSV file (RFC 4180, as wqdump writes it) one
// at a time: fields separated by commas, records ended by CRLF or LF, a
// field in double quotes when it holds a comma, a quote (doubled) or a line
// break. A leading byte order mark is skipped. Fields are views of the text
// unless their quotes had to be undone.
#ifndef WQSQL_TOOLS_MAKE_CSV_RECORDS_H_
#define WQSQL_TOOLS_MAKE_CSV_RECORDS_H_

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "tools/make/source_faults.h"

namespace wqsource {

struct CsvField {
  size_t offset = 0;      // of its first character, the quote of a quoted one
  std::string_view text;  // without its quotes, doubled quotes made single
  bool quoted = false;
};

class CsvRecords {
 public:
  // Records of the CSV text `csv`, which must outlive this; faults are
  // placed in it.
  explicit CsvRecords(const SourceText& csv);

  bool AtEnd() const { return pos_ >= text_.size(); }
  // The offset of the next record.
  size_t position() const { return pos_; }

  // Reads the next record into *fields, valid until the next call. Fails on
  // a quote out of place or a quoted field left open.
  Status Next(std::vector<CsvField>* fields);

 private:
  [[gnu::cold]] Status Fault(size_t offset, const char* detail) const;

  const SourceText& csv_;
  std::string_view text_;
  size_t pos_ = 0;
  std::deque<std::string> unquoted_;  // per field, where doubled quotes were undone
};

// The text of the field at `offset` of a CSV text (CsvField::offset of a
// field read before).
std::string CsvFieldAt(std::string_view text, size_t offset);

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_CSV_RECORDS_H_
