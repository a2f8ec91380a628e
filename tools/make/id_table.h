// IdTable: the object ids of a source, mapped to the objects they name. An
// entry points at its id's string in the source text instead of copying it,
// and the map is an open-addressing index over entries kept in fixed
// blocks, so the table costs a fixed number of bytes per id, however long
// the ids: 24 for the entry and 8 per slot of an index kept between three
// eighths and three quarters full, at most kMaxBytesPerId in all. The index
// hashes ids under a key secret to each table, so the ids of a source cannot
// be chosen to collide and make every probe long.
#ifndef WQSQL_TOOLS_MAKE_ID_TABLE_H_
#define WQSQL_TOOLS_MAKE_ID_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "store/writer.h"
#include "tools/make/json_events.h"
#include "tools/make/keyed_hash.h"

namespace wqsource {

class IdTable {
 public:
  // The most the table takes per id (just after its index doubled), beyond
  // one block of entries.
  static constexpr size_t kMaxBytesPerId = 48;

  // An empty table, with a fresh random key, for the ids of the JSON text
  // `source`, which must outlive it.
  explicit IdTable(std::string_view source)
      : source_(source), key_(RandomHashKey()), texts_end_(source.size()) {}

  // Adds a CSV text whose ids Insert may name: its offsets follow those of
  // the source and of the CSV texts added before it, starting at the offset
  // returned. The text must outlive the table.
  uint64_t AddCsvText(std::string_view csv);

  // Maps `id`, the text of the string token at offset `token` of the
  // source (or of the CSV field at offset `token` of a CSV text), to
  // `object`. Sets *inserted to false, and changes nothing, when
  // `id` is already mapped. Fails only past the table's limits: 2^32 - 2
  // ids, each under 4 GiB.
  Status Insert(std::string_view id, size_t token, wqstore::ObjectRef object, bool* inserted);
  // The object `id` names, or null. Valid until the next Insert.
  const wqstore::ObjectRef* Find(std::string_view id) const;
  // Sets *id to the id of `object`; false when it has none. Linear: meant
  // for error messages.
  bool FindIdOf(wqstore::ObjectRef object, std::string* id) const;

  size_t size() const { return size_; }
  // The sum over the ids of how far each lies past the slot its hash names:
  // the slots beyond the first that finding every id once visits. For tests
  // of how well the hash spreads a set of ids.
  uint64_t ProbeDistance() const;

 private:
  // An id: where its text is in the source or a CSV text (the top bit set
  // when the token holds escapes, the offset then being the token's), its
  // size, hash and object.
  struct Entry {
    uint64_t text;
    uint32_t size;
    uint32_t hash;
    wqstore::ObjectRef object;
  };
  static constexpr uint64_t kEscaped = uint64_t{1} << 63;
  static constexpr int kBlockShift = 16;  // entries per block: 2^16

  uint32_t Hash(std::string_view text) const {
    return static_cast<uint32_t>(KeyedHash(key_, text));
  }
  Entry& At(size_t e) const { return blocks_[e >> kBlockShift][e & ((1u << kBlockShift) - 1)]; }
  // The id of `e`; one that holds escapes is read again from the source.
  std::string_view Text(const Entry& e) const;
  void Grow();
  // The CSV text that holds `offset`, which is past the source.
  struct CsvText {
    uint64_t base;
    std::string_view text;
  };
  const CsvText& CsvAt(uint64_t offset) const;

  std::string_view source_;
  HashKey key_;
  std::vector<std::unique_ptr<Entry[]>> blocks_;
  size_t size_ = 0;
  // Per slot the entry's hash in the high half and its index + 1 in the low
  // half; 0 for an empty slot. Probes compare hashes without touching the
  // entries.
  std::vector<uint64_t> slots_;
  mutable OneValue reread_;  // for ids with escapes
  std::vector<CsvText> csv_texts_;
  uint64_t texts_end_;
  mutable std::string csv_reread_;
};

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_ID_TABLE_H_
