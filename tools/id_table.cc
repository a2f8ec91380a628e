// IdTable: arena-backed open-addressing map from object ids to objects,
// with linear probing over a keyed hash.
#include "tools/id_table.h"

namespace wqsource {

namespace {

uint64_t Slot(uint32_t hash, size_t entry) { return uint64_t{hash} << 32 | (entry + 1); }
uint32_t SlotHash(uint64_t slot) { return static_cast<uint32_t>(slot >> 32); }
size_t SlotEntry(uint64_t slot) { return static_cast<size_t>(slot & 0xffffffffu) - 1; }

}  // namespace

void IdTable::Grow() {
  const size_t n = slots_.empty() ? 1024 : slots_.size() * 2;
  slots_.assign(n, 0);
  const size_t mask = n - 1;
  for (size_t e = 0; e < entries_.size(); ++e) {
    size_t s = entries_[e].hash & mask;
    while (slots_[s] != 0) s = (s + 1) & mask;
    slots_[s] = Slot(entries_[e].hash, e);
  }
}

Status IdTable::Insert(std::string_view id, wqstore::ObjectId object, bool* inserted) {
  *inserted = false;
  if (entries_.size() >= UINT32_MAX - 1) return Status::Error("too many object ids");
  // Keep the load at or below three quarters.
  if ((entries_.size() + 1) * 4 > slots_.size() * 3) Grow();
  const uint32_t h = Hash(id);
  const size_t mask = slots_.size() - 1;
  size_t s = h & mask;
  for (; slots_[s] != 0; s = (s + 1) & mask) {
    if (SlotHash(slots_[s]) == h && View(entries_[SlotEntry(slots_[s])].text) == id) {
      return Status::OK();
    }
  }
  TextRef text;
  WQ_RETURN_IF_ERROR(Keep(id, &text));
  entries_.push_back(Entry{text, h, object});
  slots_[s] = Slot(h, entries_.size() - 1);
  *inserted = true;
  return Status::OK();
}

const wqstore::ObjectId* IdTable::Find(std::string_view id) const {
  if (slots_.empty()) return nullptr;
  const uint32_t h = Hash(id);
  const size_t mask = slots_.size() - 1;
  for (size_t s = h & mask; slots_[s] != 0; s = (s + 1) & mask) {
    if (SlotHash(slots_[s]) != h) continue;
    const Entry& e = entries_[SlotEntry(slots_[s])];
    if (View(e.text) == id) return &e.object;
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

bool IdTable::FindIdOf(wqstore::ObjectId object, std::string_view& id) const {
  for (const Entry& e : entries_) {
    if (e.object.cls == object.cls && e.object.obj == object.obj) {
      id = View(e.text);
      return true;
    }
  }
  return false;
}

Status IdTable::Keep(std::string_view text, TextRef* ref) {
  if (text.size() > UINT32_MAX) return Status::Error("text of 4 GiB or more");
  ref->offset = arena_.size();
  ref->size = static_cast<uint32_t>(text.size());
  arena_.append(text.data(), text.size());
  return Status::OK();
}

}  // namespace wqsource
