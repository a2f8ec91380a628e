// WriteSource: a first pass marks the objects that references point at
// (they get an "id"), then each class is written: its header, its members
// and its objects, one per line. A value's key and text come from a
// per-class list of the members that take a value.
#include "tools/dump/dump_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "store/scan.h"
#include "tools/common/text_encoding.h"
#include "tools/dump/dump_values.h"
#include "tools/dump/reference_marks.h"

namespace wqtools {

using wqstore::ClassInfo;
using wqstore::MemberInfo;
using wqstore::Reader;
using wqstore::ValueKind;

namespace {

// How a member's type is written: the name, for a code that wqmake reads
// back from its name (1 to 6), and the number for every other code (8, the
// second reference code, too).
std::string TypeText(uint8_t code) {
  const wqstore::TypeEntry& t = wqstore::DataTypeOf(code);
  if (t.kind != ValueKind::kNone && wqstore::DataTypeCodeOfName(t.name) == code) {
    return std::string("\"") + t.name + "\"";
  }
  return std::to_string(code);
}

void WriteValue(const Reader& reader, const Column& col, const unsigned char* record,
                TextSink& out) {
  const MemberInfo& m = *col.member;
  switch (col.kind) {
    case ValueKind::kString: {
      const uint64_t off = wqstore::HeapOffsetField(record, m);
      if (off == 0) {
        out.Text("null");
        return;
      }
      const char* s;
      size_t n;
      HeapText(reader, off, &s, &n);
      JsonString(out, s, n);
      return;
    }
    case ValueKind::kInt: WriteNumber(out, wqstore::IntField(record, m)); return;
    case ValueKind::kDouble: WriteDouble(out, wqstore::DoubleField(record, m), true, true); return;
    case ValueKind::kChar: WriteNumber(out, wqstore::CharField(record, m)); return;
    case ValueKind::kBlob: {
      int32_t size = 0;
      const unsigned char* data = nullptr;
      reader.HeapBlob(wqstore::HeapOffsetField(record, m), &size, &data);
      out.Put('"');
      HexText(out, data, static_cast<size_t>(size));
      out.Put('"');
      return;
    }
    case ValueKind::kRef: WriteRef(reader, record, m, true, out); return;
    case ValueKind::kNone: return;
  }
}

// The objects of one class. Members are written in member order, except
// that the members whose values have heap entries take the places of such
// members in the order of those entries.
class ObjectWriter {
 public:
  ObjectWriter(const Reader& reader, const ClassInfo& c, const ReferenceMarks& marks)
      : reader_(reader), class_(c), marks_(marks) {
    for (uint32_t k = 0; k < c.member_count; k++) {
      const MemberInfo& m = c.members[k];
      const ValueKind kind = wqstore::KindOf(m.type);
      if (kind == ValueKind::kNone) continue;
      if (kind == ValueKind::kString || kind == ValueKind::kBlob) {
        heap_columns_.push_back(static_cast<uint32_t>(columns_.size()));
      }
      columns_.push_back(
          Column{&m, kind, JsonQuoted(std::string_view(m.name, m.name_length)) + ": "});
      order_.push_back(static_cast<uint32_t>(order_.size()));
    }
    slots_.reserve(heap_columns_.size());
    by_offset_.reserve(heap_columns_.size());
  }

  void Write(uint32_t i, bool last, TextSink& out) {
    const unsigned char* record = class_.Record(i);
    out.Text("      { ");
    if (marks_.marked(class_.index, i)) {
      char* p = out.Room(kNumberTextMax + 16);
      std::memcpy(p, "\"id\": \"", 7);
      p += 7;
      p += ObjectIdText(class_.number, i, p);
      std::memcpy(p, "\", ", 3);
      out.Commit(p + 3);
    }
    out.Text("\"values\": {");
    const bool reordered = OrderHeapValues(record);
    for (size_t j = 0; j < order_.size(); j++) {
      const Column& col = columns_[order_[j]];
      if (j > 0) out.Put(',');
      out.Put(' ');
      out.Write(col.key.data(), col.key.size());
      WriteValue(reader_, col, record, out);
    }
    if (reordered) {
      for (const Slot& s : slots_) order_[s.place] = s.place;
    }
    if (order_.empty()) {
      out.Text("} }");
    } else {
      out.Text(" } }");
    }
    if (last) {
      out.Put('\n');
    } else {
      out.Text(",\n");
    }
  }

 private:
  // A value with a heap entry: its place in member order, its column and
  // the entry's offset.
  struct Slot {
    uint32_t place;
    uint32_t column;
    uint64_t offset;
  };

  // Puts the columns of the values with heap entries in order_ by their
  // offsets; false when they already are.
  bool OrderHeapValues(const unsigned char* record) {
    slots_.clear();
    bool sorted = true;
    for (const uint32_t c : heap_columns_) {
      const uint64_t off = wqstore::HeapOffsetField(record, *columns_[c].member);
      if (off == 0) continue;  // null or empty: no entry
      if (!slots_.empty() && off < slots_.back().offset) sorted = false;
      slots_.push_back(Slot{c, c, off});
    }
    if (sorted) return false;
    by_offset_ = slots_;
    std::stable_sort(by_offset_.begin(), by_offset_.end(),
                     [](const Slot& a, const Slot& b) { return a.offset < b.offset; });
    for (size_t k = 0; k < slots_.size(); k++) order_[slots_[k].place] = by_offset_[k].column;
    return true;
  }

  const Reader& reader_;
  const ClassInfo& class_;
  const ReferenceMarks& marks_;
  std::vector<Column> columns_;
  std::vector<uint32_t> heap_columns_;  // indexes of string and blob columns
  std::vector<uint32_t> order_;         // the columns in the order written
  std::vector<Slot> slots_;             // in member order
  std::vector<Slot> by_offset_;         // the same by offset
};

void WriteClass(const Reader& reader, const ClassInfo& c, const ReferenceMarks& marks,
                TextSink& out, const DumpProgress* progress) {
  const std::string name = JsonQuoted(std::string_view(c.name, c.name_length));
  out.Text("  { \"name\": ");
  out.Write(name.data(), name.size());
  out.Text(", \"number\": ");
  WriteNumber(out, c.number);
  out.Text(", \"objectSize\": ");
  WriteNumber(out, c.object_size);
  out.Text(",\n    \"members\": [");
  for (uint32_t k = 0; k < c.member_count; k++) {
    const MemberInfo& m = c.members[k];
    const std::string member = JsonQuoted(std::string_view(m.name, m.name_length));
    out.Str(k == 0 ? "\n      { \"name\": " : ",\n      { \"name\": ");
    out.Write(member.data(), member.size());
    out.Text(", \"type\": ");
    const std::string type = TypeText(m.type);
    out.Write(type.data(), type.size());
    out.Text(", \"number\": ");
    WriteNumber(out, m.number);
    if (m.nullable) {
      out.Text(", \"nullable\": true }");
    } else {
      out.Text(", \"nullable\": false }");
    }
  }
  out.Str(c.member_count == 0 ? "],\n" : "\n    ],\n");
  if (c.object_count == 0) {
    out.Text("    \"objects\": [] }");
    return;
  }
  out.Text("    \"objects\": [\n");
  ObjectWriter objects(reader, c, marks);
  for (uint32_t i = 0; i < c.object_count && !out.failed(); i++) {
    if (progress != nullptr) progress->At(c, i);
    objects.Write(i, i + 1 == c.object_count, out);
  }
  out.Text("    ] }");
}

}  // namespace

void WriteSource(const Reader& reader, TextSink& out, DumpProgress* progress) {
  const ReferenceMarks marks(reader);
  out.Text("{ \"classes\": [\n");
  for (uint32_t ci = 0; ci < reader.class_count() && !out.failed(); ci++) {
    WriteClass(reader, reader.class_at(ci), marks, out, progress);
    if (progress != nullptr) progress->Done(reader.class_at(ci));
    out.Str(ci + 1 == reader.class_count() ? "\n" : ",\n");
  }
  out.Text("] }\n");
}

}  // namespace wqtools
