// ObjectBuilder: objects, ids and values into the writer.
#include "tools/make/object_builder.h"

#include <algorithm>

#include "store/scan.h"
#include "tools/make/csv_records.h"
#include "tools/make/value_conversion.h"

namespace wqsource {

using wqstore::ObjectRef;
using wqstore::ValueKind;

void ObjectBuilder::UseCsv(const SourceText* csv) {
  if (csv == nullptr) {
    csv_ = nullptr;
    return;
  }
  csv_texts_.push_back(CsvText{ids_.AddCsvText(csv->text()), csv});
  csv_ = &csv_texts_.back();
}

Status ObjectBuilder::AddObject(const ClassState& c, uint32_t cls, const ObjectName& name,
                                size_t offset, ObjectRef* o) {
  ++serial_;
  const Status added = writer_.AddObject(cls, o);
  if (added.ok()) return added;
  return FaultAt(offset, ClassLabel(c) + ", " + ObjectLabel(name) + ": " + added.message());
}

Status ObjectBuilder::MapId(const ClassState& c, const ObjectName& name, std::string_view id,
                            ObjectRef o, size_t offset) {
  bool inserted;
  WQ_RETURN_IF_ERROR(ids_.Insert(id, KeptOffset(offset), o, &inserted));
  if (inserted) return Status::OK();
  return FaultAt(offset,
                 ClassLabel(c) + ", " + ObjectLabel(name) + ": duplicate object id " + Quote(id));
}

// Each case keeps its statuses local and returns a fresh one, which costs
// less than moving a status along: this runs for every value of a source.
Status ObjectBuilder::SetValue(const ClassState& c, const ObjectName& name, ObjectRef o, uint32_t m,
                               const Scalar& v, size_t from) {
  const MemberDef& def = c.members[m];
  switch (wqstore::KindOf(def.type)) {
    case ValueKind::kString: {
      TextOrNull text;
      const Status converted = ToStringValue(v, def.nullable, &text);
      if (!converted.ok()) return ValueFault(c, name, m, from, converted);
      if (text.is_null) return Status::OK();  // a new object's strings are null already
      return Written(writer_.SetString(o, m, text.text), c, name, m, from);
    }
    case ValueKind::kInt: {
      int32_t n = 0;
      const Status converted = ToIntValue(v, &n);
      if (!converted.ok()) return ValueFault(c, name, m, from, converted);
      return Written(writer_.SetInt(o, m, n), c, name, m, from);
    }
    case ValueKind::kDouble: {
      double d = 0;
      const Status converted = ToDoubleValue(v, &d);
      if (!converted.ok()) return ValueFault(c, name, m, from, converted);
      return Written(writer_.SetDouble(o, m, d), c, name, m, from);
    }
    case ValueKind::kChar: {
      uint8_t code = 0;
      const Status converted = ToCharValue(v, &code);
      if (!converted.ok()) return ValueFault(c, name, m, from, converted);
      return Written(writer_.SetChar(o, m, code), c, name, m, from);
    }
    case ValueKind::kBlob: {
      const Status converted = ToBlobValue(v, &blob_);
      if (!converted.ok()) return ValueFault(c, name, m, from, converted);
      return Written(writer_.SetBlob(o, m, blob_.data(), blob_.size()), c, name, m, from);
    }
    case ValueKind::kRef: return SetReference(c, name, o, m, v, from);
    default: return ValueFault(c, name, m, from, NoValueForType(def.type));
  }
}

Status ObjectBuilder::SetReference(const ClassState& c, const ObjectName& name, ObjectRef o,
                                   uint32_t m, const Scalar& v, size_t from) {
  TextOrNull target_id;
  const Status converted = ToReferenceValue(v, c.members[m].nullable, &target_id);
  if (!converted.ok()) return ValueFault(c, name, m, from, converted);
  if (target_id.is_null) return Status::OK();  // a new object's references are unset already
  const ObjectRef* target = ids_.Find(target_id.text);
  if (target != nullptr) return Written(writer_.SetRef(o, m, *target), c, name, m, from);
  // Set when the whole source has been read.
  if (pending_.size() == kPendingInMemory) WQ_RETURN_IF_ERROR(SpillPending());
  pending_.push_back(PendingRef{o, m, 0, KeptOffset(from)});
  return Status::OK();
}

Status ObjectBuilder::SpillPending() {
  if (spilled_ == nullptr) WQ_RETURN_IF_ERROR(wqstore::ScratchFile::Create("", &spilled_));
  WQ_RETURN_IF_ERROR(spilled_->WriteAt(spilled_count_ * sizeof(PendingRef), pending_.data(),
                                       pending_.size() * sizeof(PendingRef)));
  spilled_count_ += pending_.size();
  pending_.clear();
  return Status::OK();
}

Status ObjectBuilder::Written(const Status& written, const ClassState& c, const ObjectName& name,
                              uint32_t m, size_t from) const {
  return written.ok() ? Status::OK() : ValueFault(c, name, m, from, written);
}

Status ObjectBuilder::ValueFault(const ClassState& c, const ObjectName& name, uint32_t m,
                                 size_t from, const Status& detail) const {
  return FaultAt(from, ValueLabel(c, name, m) + ": " + detail.message());
}

Status ObjectBuilder::CheckRequired(const ClassState& c, const ObjectName& name,
                                    size_t from) const {
  for (uint32_t m : c.required) {
    if (given_[m] != serial_) {
      return FaultAt(from, ClassLabel(c) + ", " + ObjectLabel(name) + ": no value for member " +
                               Quote(c.members[m].name) + ", which is not nullable");
    }
  }
  return Status::OK();
}

Status ObjectBuilder::ResolvePending(const ClassList& classes) {
  // The spilled references first: they came before those in memory.
  std::vector<PendingRef> batch;
  for (uint64_t done = 0; done < spilled_count_;) {
    batch.resize(static_cast<size_t>(std::min<uint64_t>(kPendingInMemory, spilled_count_ - done)));
    WQ_RETURN_IF_ERROR(spilled_->ReadAt(done * sizeof(PendingRef), batch.data(),
                                        batch.size() * sizeof(PendingRef)));
    for (const PendingRef& p : batch) WQ_RETURN_IF_ERROR(ResolveOne(classes, p));
    done += batch.size();
  }
  for (const PendingRef& p : pending_) WQ_RETURN_IF_ERROR(ResolveOne(classes, p));
  return Status::OK();
}

Status ObjectBuilder::ResolveOne(const ClassList& classes, const PendingRef& p) {
  // The target's id is read again from the source or the CSV text.
  const SourceText* text = &source_;
  uint64_t offset = p.offset;
  std::string csv_id;
  std::string_view target_id;
  if (p.offset >= source_.text().size()) {
    auto it = std::upper_bound(csv_texts_.begin(), csv_texts_.end(), p.offset,
                               [](uint64_t o, const CsvText& t) { return o < t.base; });
    --it;
    text = it->text;
    offset -= it->base;
    csv_id = CsvFieldAt(text->text(), offset);
    target_id = csv_id;
  } else {
    target_id = reread_.Read(source_.text(), p.offset).s;
  }
  const ObjectRef* target = ids_.Find(target_id);
  const Status set = target == nullptr ? Status::Error("unknown object id " + Quote(target_id))
                                       : writer_.SetRef(p.source, p.member, *target);
  if (set.ok()) return set;
  ObjectName name;
  name.ordinal = p.source.obj + 1;
  name.has_id = ids_.FindIdOf(p.source, &name.id);
  return text->FaultAt(offset,
                       ValueLabel(classes[p.source.cls], name, p.member) + ": " + set.message());
}

}  // namespace wqsource
