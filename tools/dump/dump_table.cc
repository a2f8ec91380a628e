// WriteTable: the header (CSV) or the keys (JSONL) are worked out once per
// class, then each object is one line. In CSV a null string or unset
// reference is an empty field and the empty string is "", a character is
// itself (code 0: empty) and a member that takes no value is empty; JSONL
// has null for those and the same texts otherwise.
//
// Each cell is written straight into the sink: room for the cell and what
// goes before it (the comma, or the key) is taken once, with the bytes of a
// string or blob known from its stored length; only a value too long for
// one piece of room goes through the sink piece by piece.
//
// A large class is written by two threads: the rows go in blocks, and a
// worker formats every other block into memory while this thread formats
// the blocks between into the sink and copies the worker's in after each,
// so the bytes come out in order and the memory is two blocks' text.
#include "tools/dump/dump_table.h"

#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "store/scan.h"
#include "tools/common/text_encoding.h"
#include "tools/dump/dump_values.h"

namespace wqtools {

using wqstore::ClassInfo;
using wqstore::MemberInfo;
using wqstore::Reader;
using wqstore::ValueKind;

namespace {

// Room for what goes before a cell and for a cell of `value` bytes; the
// start of the cell. In CSV what goes before is always the comma.
template <bool kJson>
inline char* CellRoom(BufferedWriter& out, const Column& col, size_t value) {
  char* p = out.Room(col.key.size() + value);
  if (!kJson) {
    *p = ',';
    return p + 1;
  }
  std::memcpy(p, col.key.data(), col.key.size());
  return p + col.key.size();
}

// A string or blob of `room` bytes at most that may not fit one piece of
// room: true when room was taken and *p is where it goes; otherwise what
// goes before it is written.
template <bool kJson>
inline bool Fits(BufferedWriter& out, const Column& col, size_t room, char** p) {
  if (col.key.size() + room > BufferedWriter::kRoomMax) {
    out.Commit(CellRoom<kJson>(out, col, 0));
    return false;
  }
  *p = CellRoom<kJson>(out, col, room);
  return true;
}

template <bool kJson>
void WriteCell(const Reader& reader, const Column& col, const unsigned char* record,
               BufferedWriter& out) {
  const MemberInfo& m = *col.member;
  char* p;
  switch (col.kind) {
    case ValueKind::kString: {
      const uint64_t off = wqstore::HeapOffsetField(record, m);
      if (off == 0) {
        p = CellRoom<kJson>(out, col, 4);
        if (kJson) {
          std::memcpy(p, "null", 4);
          p += 4;
        }
        break;
      }
      const char* s;
      size_t n;
      HeapText(reader, off, &s, &n);
      if (!Fits<kJson>(out, col, kJson ? JsonStringRoom(n) : CsvFieldRoom(n), &p)) {
        if (kJson) {
          JsonString(out, s, n);
        } else {
          CsvField(out, s, n, true);
        }
        return;
      }
      p = kJson ? PutJsonString(p, s, n) : PutCsvField(p, s, n, true);
      break;
    }
    case ValueKind::kInt:
      p = CellRoom<kJson>(out, col, kNumberTextMax);
      p += IntText(wqstore::IntField(record, m), p);
      break;
    case ValueKind::kDouble: {
      const double v = wqstore::DoubleField(record, m);
      p = CellRoom<kJson>(out, col, kNumberTextMax + 2);
      if (!kJson || std::isfinite(v)) {
        p += DoubleText(v, p);
      } else {
        *p++ = '"';
        p += DoubleText(v, p);
        *p++ = '"';
      }
      break;
    }
    case ValueKind::kChar: {
      char text[2];
      const size_t n = Latin1CharText(wqstore::CharField(record, m), text);
      p = CellRoom<kJson>(out, col, JsonStringRoom(2));
      p = kJson ? PutJsonString(p, text, n) : PutCsvField(p, text, n, false);
      break;
    }
    case ValueKind::kBlob: {
      int32_t size = 0;
      const unsigned char* data = nullptr;
      reader.HeapBlob(wqstore::HeapOffsetField(record, m), &size, &data);
      const size_t n = static_cast<size_t>(size);
      if (!Fits<kJson>(out, col, 2 * n + 2, &p)) {
        if (kJson) out.Put('"');
        HexText(out, data, n);
        if (kJson) out.Put('"');
        return;
      }
      if (kJson) *p++ = '"';
      p = PutHex(p, data, n);
      if (kJson) *p++ = '"';
      break;
    }
    case ValueKind::kRef: {
      const wqstore::RefTarget t = wqstore::RefField(record, m);
      p = CellRoom<kJson>(out, col, kNumberTextMax + 2);
      if (!t.set() || t.cls >= reader.class_count()) {
        if (kJson) {
          std::memcpy(p, "null", 4);
          p += 4;
        }
        break;
      }
      if (kJson) *p++ = '"';
      p += ObjectIdText(reader.class_at(t.cls).number, t.obj, p);
      if (kJson) *p++ = '"';
      break;
    }
    case ValueKind::kNone:
    default:
      p = CellRoom<kJson>(out, col, 4);
      if (kJson) {
        std::memcpy(p, "null", 4);
        p += 4;
      }
      break;
  }
  out.Commit(p);
}

// The id of each object in turn: its text is kept and counted up in place,
// for the position is one more than the last one's.
class IdCounter {
 public:
  // `before` goes before each id: "{\"id\":\"" in JSONL, nothing in CSV;
  // the first id is that of position `start`.
  IdCounter(const std::string& before, int32_t class_number, uint32_t start) {
    text_ = before + std::string(2 * kNumberTextMax, '\0');
    char* p = &text_[before.size()];
    p += IntText(class_number, p);
    *p++ = ':';
    first_ = static_cast<size_t>(p - text_.data());
    size_ = first_ + IntText(start, p);
  }
  // What goes before the id and the id of the position after the last.
  const char* text() const { return text_.data(); }
  size_t size() const { return size_; }
  void Next() {
    size_t i = size_;
    while (i > first_ && text_[i - 1] == '9') text_[--i] = '0';
    if (i > first_) {
      text_[i - 1]++;
      return;
    }
    text_.insert(first_, 1, '1');  // 9...9 became 10...0
    size_++;
  }

 private:
  std::string text_;
  size_t first_;  // where the position's digits start
  size_t size_;
};

// The lines of the objects at positions [begin, end); `id_key` goes before
// each object's id.
template <bool kJson>
void WriteRowRange(const Reader& reader, const ClassInfo& c, const std::vector<Column>& columns,
                   const std::string& id_key, uint32_t begin, uint32_t end, BufferedWriter& out,
                   const DumpProgress* progress) {
  IdCounter id(id_key, c.number, begin);
  for (uint32_t i = begin; i < end && !out.failed(); i++, id.Next()) {
    if (progress != nullptr) progress->At(c, i);
    const unsigned char* record = c.Record(i);
    out.Write(id.text(), id.size());
    if (kJson) out.Put('"');
    for (const Column& col : columns) WriteCell<kJson>(reader, col, record, out);
    if (kJson) {
      out.Text("}\n");
    } else {
      out.Text("\r\n");
    }
  }
}

// The text of one block of rows, kept in memory.
class BlockText final : public BufferedWriter {
 public:
  BlockText() : BufferedWriter(2 * kRoomMax) {}
  // Everything written since the last Clear.
  const std::string& text() {
    Flush();
    return text_;
  }
  void Clear() { text_.clear(); }

 private:
  bool Emit(const char* p, size_t n) override {
    text_.append(p, n);
    return true;
  }
  std::string text_;
};

// Rows per block: a few hundred KiB of text, so that handing a block over
// costs little beside formatting it.
constexpr uint32_t kBlockRows = 8192;

// The worker's side: it formats the odd blocks, each into one of two
// slots, which this thread empties in order.
class BlockWorker {
 public:
  template <typename Format>
  BlockWorker(uint32_t blocks, Format format)
      : thread_([this, blocks, format] {
          for (uint32_t b = 1; b < blocks; b += 2) {
            Slot& slot = slots_[(b / 2) % 2];
            {
              std::unique_lock<std::mutex> lock(mu_);
              changed_.wait(lock, [&] { return stop_ || !slot.full; });
              if (stop_) return;
            }
            format(b, slot.text);
            std::lock_guard<std::mutex> lock(mu_);
            slot.full = true;
            changed_.notify_all();
          }
        }) {}
  ~BlockWorker() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  // Copies odd block `b` into `out` once the worker has formatted it.
  void CopyBlock(uint32_t b, BufferedWriter& out) {
    Slot& slot = slots_[(b / 2) % 2];
    {
      std::unique_lock<std::mutex> lock(mu_);
      changed_.wait(lock, [&] { return slot.full; });
    }
    const std::string& text = slot.text.text();
    out.Write(text.data(), text.size());
    slot.text.Clear();
    std::lock_guard<std::mutex> lock(mu_);
    slot.full = false;
    changed_.notify_all();
  }

 private:
  struct Slot {
    BlockText text;
    bool full = false;  // formatted, not yet copied
  };
  Slot slots_[2];
  std::mutex mu_;
  std::condition_variable changed_;
  bool stop_ = false;
  std::thread thread_;  // last: it starts once the rest is in place
};

template <bool kJson>
void WriteRows(const Reader& reader, const ClassInfo& c, const std::vector<Column>& columns,
               const std::string& id_key, TextSink& out, const DumpProgress* progress) {
  const uint32_t n = c.object_count;
  if (n < 4 * kBlockRows || std::thread::hardware_concurrency() < 2) {
    WriteRowRange<kJson>(reader, c, columns, id_key, 0, n, out, progress);
    return;
  }
  const uint32_t blocks = (n + kBlockRows - 1) / kBlockRows;
  auto rows = [&](uint32_t b, BufferedWriter& to, const DumpProgress* shown) {
    const uint32_t begin = b * kBlockRows;
    const uint32_t end = n - begin < kBlockRows ? n : begin + kBlockRows;
    WriteRowRange<kJson>(reader, c, columns, id_key, begin, end, to, shown);
  };
  BlockWorker worker(blocks, [&rows](uint32_t b, BlockText& text) { rows(b, text, nullptr); });
  for (uint32_t b = 0; b < blocks && !out.failed(); b++) {
    if (b % 2 == 0) {
      rows(b, out, progress);
    } else {
      worker.CopyBlock(b, out);
    }
  }
}

}  // namespace

void WriteTable(const Reader& reader, const ClassInfo& c, TableFormat format, TextSink& out,
                DumpProgress* progress) {
  const bool json = format == TableFormat::kJsonLines;
  const std::string id_name = IdColumnName(c);
  // Each column's key is what goes before its cell: a comma, or in JSONL
  // the comma and the quoted name with its colon.
  std::vector<Column> columns;
  columns.reserve(c.member_count);
  for (uint32_t k = 0; k < c.member_count; k++) {
    const MemberInfo& m = c.members[k];
    const std::string_view name(m.name, m.name_length);
    columns.push_back(
        Column{&m, wqstore::KindOf(m.type), json ? "," + JsonQuoted(name) + ":" : ","});
  }

  if (json) {
    WriteRows<true>(reader, c, columns, "{" + JsonQuoted(id_name) + ":\"", out, progress);
  } else {
    CsvField(out, id_name.data(), id_name.size(), false);
    for (const Column& col : columns) {
      out.Put(',');
      CsvField(out, col.member->name, col.member->name_length, true);
    }
    out.Text("\r\n");
    WriteRows<false>(reader, c, columns, std::string(), out, progress);
  }
  if (progress != nullptr) progress->Done(c);
}

}  // namespace wqtools
