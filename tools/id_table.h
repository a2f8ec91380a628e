// IdTable: the object ids of a source, mapped to the objects they name. The
// ids' text lives in one arena and the map is an open-addressing index over a
// dense entry list, so a million ids cost a few allocations, not a million.
// The index hashes ids under a key secret to each table, so the ids of a
// source cannot be chosen to collide and make every probe long.
#ifndef WQSQL_TOOLS_ID_TABLE_H_
#define WQSQL_TOOLS_ID_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "store/writer.h"
#include "tools/keyed_hash.h"

namespace wqsource {

// A piece of text kept in the table's arena.
struct TextRef {
  uint64_t offset = 0;
  uint32_t size = 0;
};

class IdTable {
 public:
  // An empty table with a fresh random key.
  IdTable() : key_(RandomHashKey()) {}

  // Maps `id` to `object`. Sets *inserted to false, and changes nothing,
  // when `id` is already mapped. Fails only past the table's limits: 2^32 - 2
  // ids, each under 4 GiB.
  Status Insert(std::string_view id, wqstore::ObjectId object, bool* inserted);
  // The object `id` names, or null. Valid until the next Insert.
  const wqstore::ObjectId* Find(std::string_view id) const;
  // Sets `id` to the id of `object`; false when it has none. Linear: meant
  // for error messages.
  bool FindIdOf(wqstore::ObjectId object, std::string_view& id) const;

  // Keeps a copy of `text` in the arena, outside the map. Fails for a text of
  // 4 GiB or more.
  Status Keep(std::string_view text, TextRef* ref);
  std::string_view View(TextRef ref) const {
    return std::string_view(arena_.data() + ref.offset, ref.size);
  }

  size_t size() const { return entries_.size(); }

  // The sum over the ids of how far each lies past the slot its hash names:
  // the slots beyond the first that finding every id once visits. For tests
  // of how well the hash spreads a set of ids.
  uint64_t ProbeDistance() const;

 private:
  struct Entry {
    TextRef text;
    uint32_t hash;
    wqstore::ObjectId object;
  };
  uint32_t Hash(std::string_view text) const {
    return static_cast<uint32_t>(KeyedHash(key_, text));
  }
  void Grow();

  HashKey key_;
  std::string arena_;
  std::vector<Entry> entries_;
  // Per slot the entry's hash in the high half and its index + 1 in the low
  // half; 0 for an empty slot. Probes compare hashes without touching the
  // entries.
  std::vector<uint64_t> slots_;
};

}  // namespace wqsource

#endif  // WQSQL_TOOLS_ID_TABLE_H_
