// How far a dump to a file has come, for the progress bar: the bytes of
// object records written out so far, of those of every class the dump
// writes.
#ifndef WQSQL_TOOLS_DUMP_DUMP_PROGRESS_H_
#define WQSQL_TOOLS_DUMP_DUMP_PROGRESS_H_

#include <cstdint>

#include "store/scan.h"
#include "tools/common/progress_bar.h"

namespace wqtools {

class DumpProgress {
 public:
  // Reports to `bar` (none when null) a dump of the classes whose records
  // come to `total` bytes.
  DumpProgress(ProgressBar* bar, uint64_t total) : bar_(bar), total_(total) {}

  // The bytes of records of every class of the file.
  static uint64_t RecordBytes(const wqstore::Reader& reader) {
    uint64_t n = 0;
    for (uint32_t i = 0; i < reader.class_count(); i++) n += RecordBytes(reader.class_at(i));
    return n;
  }
  static uint64_t RecordBytes(const wqstore::ClassInfo& c) {
    return uint64_t{c.object_count} * c.record_size;
  }

  // Object `i` of class `c` is next; told to the bar every 4096 objects.
  void At(const wqstore::ClassInfo& c, uint32_t i) const {
    if (bar_ != nullptr && (i & 4095) == 0)
      bar_->Update(done_ + uint64_t{i} * c.record_size, total_);
  }
  // Class `c` is written.
  void Done(const wqstore::ClassInfo& c) { done_ += RecordBytes(c); }

 private:
  ProgressBar* const bar_;
  const uint64_t total_;
  uint64_t done_ = 0;
};

}  // namespace wqtools

#endif  // WQSQL_TOOLS_DUMP_DUMP_PROGRESS_H_
