// IdTable: open-addressing map from object ids to objects, with linear
// probing over a keyed hash; the ids' text stays in the source.
#include "tools/make/id_table.h"

#include <algorithm>

#include "tools/make/csv_records.h"

namespace wqsource {
namespace {

uint64_t Slot(uint32_t hash, size_t entry) { return uint64_t{hash} << 32 | (entry + 1); }
uint32_t SlotHash(uint64_t slot) { return static_cast<uint32_t>(slot >> 32); }
size_t SlotEntry(uint64_t slot) { return static_cast<size_t>(slot & 0xffffffffu) - 1; }

}  // namespace

uint64_t IdTable::AddCsvText(std::string_view csv) {
  const uint64_t base = texts_end_;
  csv_texts_.push_back(CsvText{base, csv});
  texts_end_ += csv.size();
  return base;
}

const IdTable::CsvText& IdTable::CsvAt(uint64_t offset) const {
  auto it = std::upper_bound(csv_texts_.begin(), csv_texts_.end(), offset,
                             [](uint64_t o, const CsvText& t) { return o < t.base; });
  return *(it - 1);
}

std::string_view IdTable::Text(const Entry& e) const {
  const uint64_t offset = e.text & ~kEscaped;
  if (offset >= source_.size()) {
    const CsvText& csv = CsvAt(offset);
    if ((e.text & kEscaped) == 0) return csv.text.substr(offset - csv.base, e.size);
    csv_reread_ = CsvFieldAt(csv.text, offset - csv.base);
    return csv_reread_;
  }
  if ((e.text & kEscaped) == 0) return source_.substr(e.text, e.size);
  return reread_.Read(source_, offset).s;
}

void IdTable::Grow() {
  const size_t n = slots_.empty() ? 1024 : slots_.size() * 2;
  std::vector<uint64_t>().swap(slots_);  // before the new index, not beside it
  slots_.assign(n, 0);
  const size_t mask = n - 1;
  for (size_t e = 0; e < size_; ++e) {
    const uint32_t h = At(e).hash;
    size_t s = h & mask;
    while (slots_[s] != 0) s = (s + 1) & mask;
    slots_[s] = Slot(h, e);
  }
}

Status IdTable::Insert(std::string_view id, size_t token, wqstore::ObjectRef object,
                       bool* inserted) {
  *inserted = false;
  if (size_ >= UINT32_MAX - 1) return Status::Error("too many object ids");
  if (id.size() >= UINT32_MAX) return Status::Error("object id of 4 GiB or more");
  // Keep the load at or below three quarters.
  if ((size_ + 1) * 4 > slots_.size() * 3) Grow();
  const uint32_t h = Hash(id);
  const size_t mask = slots_.size() - 1;
  size_t s = h & mask;
  for (; slots_[s] != 0; s = (s + 1) & mask) {
    if (SlotHash(slots_[s]) != h) continue;
    const Entry& e = At(SlotEntry(slots_[s]));
    if (e.size == id.size() && Text(e) == id) return Status::OK();
  }
  // A token whose text between its quotes is the id itself, without a
  // backslash, has no escapes; nor has a CSV field that is the id, in
  // quotes or not.
  bool plain;
  uint64_t at = token + 1;
  if (token >= source_.size()) {
    const CsvText& csv = CsvAt(token);
    const size_t local = static_cast<size_t>(token - csv.base);
    plain = local < csv.text.size() && csv.text[local] == '"' &&
            csv.text.compare(local + 1, id.size(), id) == 0;
    if (!plain && csv.text.compare(local, id.size(), id) == 0) {
      plain = true;
      at = token;
    }
  } else {
    plain = token + 1 + id.size() < source_.size() && source_[token] == '"' &&
            id.find('\\') == std::string_view::npos &&
            source_.compare(token + 1, id.size(), id) == 0 && source_[token + 1 + id.size()] == '"';
  }
  if ((size_ >> kBlockShift) == blocks_.size()) {
    blocks_.emplace_back(new Entry[size_t{1} << kBlockShift]);
  }
  At(size_) = Entry{plain ? at : token | kEscaped, static_cast<uint32_t>(id.size()), h, object};
  slots_[s] = Slot(h, size_);
  ++size_;
  *inserted = true;
  return Status::OK();
}

const wqstore::ObjectRef* IdTable::Find(std::string_view id) const {
  if (slots_.empty()) return nullptr;
  const uint32_t h = Hash(id);
  const size_t mask = slots_.size() - 1;
  for (size_t s = h & mask; slots_[s] != 0; s = (s + 1) & mask) {
    if (SlotHash(slots_[s]) != h) continue;
    const Entry& e = At(SlotEntry(slots_[s]));
    if (e.size == id.size() && Text(e) == id) return &e.object;
  }
  return nullptr;
}

uint64_t IdTable::ProbeDistance() const {
  uint64_t distance = 0;
  const size_t mask = slots_.size() - 1;
  for (size_t s = 0; s < slots_.size(); ++s) {
    if (slots_[s] != 0) distance += (s - (SlotHash(slots_[s]) & mask)) & mask;
  }
  return distance;
}

bool IdTable::FindIdOf(wqstore::ObjectRef object, std::string* id) const {
  for (size_t e = 0; e < size_; ++e) {
    const Entry& entry = At(e);
    if (entry.object.cls == object.cls && entry.object.obj == object.obj) {
      id->assign(Text(entry));
      return true;
    }
  }
  return false;
}

}  // namespace wqsource
