// ObjectBuilder: puts the objects of a source into the writer. It adds each
// object, maps its id, converts and sets its values, checks that every
// member that may not be null got a value, and keeps references to ids not
// seen yet until the whole source has been read: 24 bytes each, in memory up
// to kPendingInMemory of them and in a scratch file beyond.
#ifndef WQSQL_TOOLS_MAKE_OBJECT_BUILDER_H_
#define WQSQL_TOOLS_MAKE_OBJECT_BUILDER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "store/scratch_file.h"
#include "store/writer.h"
#include "tools/make/class_model.h"
#include "tools/make/id_table.h"
#include "tools/make/json_scalar.h"
#include "tools/make/source_faults.h"

namespace wqsource {

class ObjectBuilder {
 public:
  // Forward references kept in memory before they go to a scratch file.
  static constexpr size_t kPendingInMemory = size_t{1} << 20;

  ObjectBuilder(const SourceText& source, wqstore::RepositoryWriter& writer)
      : source_(source), writer_(writer), ids_(source.text()) {}

  // The class `c` has gone into the writer; its objects come next.
  void StartClass(const ClassState& c) { given_.assign(c.members.size(), 0); }

  // The objects that follow come from the CSV text `csv`, which must
  // outlive the builder, or from the source again when it is null. Offsets
  // are then offsets in it, and faults are placed in it.
  void UseCsv(const SourceText* csv);

  // Adds an object of class `cls` (its index) for the source's object at
  // `offset`, and starts counting the members it gives.
  Status AddObject(const ClassState& c, uint32_t cls, const ObjectName& name, size_t offset,
                   wqstore::ObjectRef* o);

  // Maps the id whose token a scan from `offset` finds (in a CSV text: the
  // id's field at `offset`) to `o`; a duplicate id is a fault there.
  Status MapId(const ClassState& c, const ObjectName& name, std::string_view id,
               wqstore::ObjectRef o, size_t offset);

  // Notes that the current object gives member `m`; false when it did before.
  bool Give(uint32_t m) {
    if (given_[m] == serial_) return false;
    given_[m] = serial_;
    return true;
  }

  // Converts `v` for member `m` and sets it. `from` is the value's offset or
  // a scan start that finds it (see SourceText::TokenStart).
  Status SetValue(const ClassState& c, const ObjectName& name, wqstore::ObjectRef o, uint32_t m,
                  const Scalar& v, size_t from);

  // Fails when a member that may not be null got no value in the current
  // object; `from` finds the object's '{'.
  Status CheckRequired(const ClassState& c, const ObjectName& name, size_t from) const;

  // Sets the references whose targets came later; a target that never came
  // is a fault. `classes` are all the classes read.
  Status ResolvePending(const ClassList& classes);

 private:
  struct PendingRef {
    wqstore::ObjectRef source;
    uint32_t member;
    uint32_t unused = 0;  // no padding goes to the scratch file unset
    uint64_t offset;      // of the value, the target's id (past the source: in a CSV text)
  };
  struct CsvText {
    uint64_t base;  // its offsets for the id table and the pending references
    const SourceText* text;
  };
  // A fault at the token a scan from `from` finds, or at `from` in a CSV
  // text.
  Status FaultAt(size_t from, const std::string& detail) const {
    return csv_ == nullptr ? source_.FaultAtToken(from, detail) : csv_->text->FaultAt(from, detail);
  }
  // The offset the id table and the pending references keep for `from`.
  uint64_t KeptOffset(size_t from) const {
    return csv_ == nullptr ? source_.TokenStart(from) : csv_->base + from;
  }
  // Moves the references kept in memory to the scratch file.
  Status SpillPending();
  Status ResolveOne(const ClassList& classes, const PendingRef& p);

  Status SetReference(const ClassState& c, const ObjectName& name, wqstore::ObjectRef o, uint32_t m,
                      const Scalar& v, size_t from);
  // OK when the writer took the value, else its failure as a fault of the
  // value.
  Status Written(const Status& written, const ClassState& c, const ObjectName& name, uint32_t m,
                 size_t from) const;
  [[gnu::cold]] [[gnu::noinline]] Status ValueFault(const ClassState& c, const ObjectName& name,
                                                    uint32_t m, size_t from,
                                                    const Status& detail) const;

  const SourceText& source_;
  wqstore::RepositoryWriter& writer_;
  IdTable ids_;
  std::vector<PendingRef> pending_;                // the latest, in source order
  std::unique_ptr<wqstore::ScratchFile> spilled_;  // the earlier ones
  uint64_t spilled_count_ = 0;
  OneValue reread_;
  std::vector<CsvText> csv_texts_;
  const CsvText* csv_ = nullptr;  // where the current objects come from, if not the source
  uint64_t serial_ = 0;           // counts objects
  std::vector<uint64_t> given_;   // per member: serial_ of the last object giving it
  std::vector<uint8_t> blob_;
};

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_OBJECT_BUILDER_H_
