// ClassDefinitions: class and member fields, default numbers, and classes
// into the writer.
#include "tools/make/class_definitions.h"

#include <utility>

#include "platform/text.h"
#include "store/names.h"
#include "store/scan.h"
#include "tools/make/shell_names.h"
#include "tools/make/value_conversion.h"

namespace wqsource {

void ClassDefinitions::BeginClass(size_t offset) {
  ClassState c;
  c.offset = offset;
  c.ordinal = static_cast<uint32_t>(classes_.size() + 1);
  classes_.push_back(std::move(c));
  record_size_ = 0;
  member_by_name_.clear();
  member_numbers_.clear();
}

Status ClassDefinitions::CountName(size_t length, size_t at) {
  names_length_ += uint64_t{length} + 1;
  if (names_length_ <= limits_.names_length) return Status::OK();
  return source_.FaultAt(at, "the names of the classes and members up to here take " +
                                 Num(names_length_) + " bytes with their NULs, more than the " +
                                 Num(limits_.names_length) + " a repository holds");
}

Status ClassDefinitions::ClassField(ClassKey key, const Scalar& v, size_t at) {
  ClassState& c = current();
  const std::string where = ClassLabel(c) + ": ";
  switch (key) {
    case kClassName: {
      if (v.kind != Scalar::kString) {
        return source_.FaultAt(at, where + "\"name\" must be a string, not " + KindName(v.kind));
      }
      const char* fault = ShellTypableNameFault(v.s);
      if (fault != nullptr) return source_.FaultAt(at, "class name " + Quote(v.s) + " " + fault);
      if (wqstore::IsCatalogueTableName(v.s)) {
        return source_.FaultAt(at,
                               "class name " + Quote(v.s) + " is reserved for a catalogue table");
      }
      if (writer_.HasClassName(v.s)) {
        return source_.FaultAt(at, "duplicate class name " + Quote(v.s));
      }
      WQ_RETURN_IF_ERROR(CountName(v.s.size(), at));
      c.name.assign(v.s);
      c.has_name = true;
      return Status::OK();
    }
    case kClassNumber: {
      const Status number = ToInt32Field(v, "number", &c.number);
      if (!number.ok()) return source_.FaultAt(at, where + number.message());
      if (writer_.HasClassNumber(c.number)) {
        return source_.FaultAt(at, where + "duplicate class number " + Num(c.number));
      }
      c.has_number = true;
      return Status::OK();
    }
    case kClassObjectSize: {
      const Status size = ToInt32Field(v, "objectSize", &c.object_size);
      if (!size.ok()) return source_.FaultAt(at, where + size.message());
      c.has_object_size = true;
      return Status::OK();
    }
    default: return Status::OK();  // members, objects and csv are the reader's
  }
}

Status ClassDefinitions::Flush() {
  ClassState& c = current();
  if (classes_.size() > limits_.classes) {
    return source_.FaultAt(c.offset,
                           ClassLabel(c) + ": more than " + Num(limits_.classes) + " classes");
  }
  if (!c.has_number) {
    const int64_t n = any_class_ ? int64_t{max_class_number_} + 1 : 1;
    if (n > INT32_MAX) {
      return source_.FaultAt(c.offset, ClassLabel(c) +
                                           ": no \"number\" given, and one more than the "
                                           "largest class number so far is out of range");
    }
    c.number = static_cast<int32_t>(n);
  }
  if (!any_class_ || c.number > max_class_number_) max_class_number_ = c.number;
  any_class_ = true;
  Status added = writer_.AddClass(c.name, c.number, c.has_object_size, c.object_size, nullptr);
  for (size_t m = 0; added.ok() && m < c.members.size(); ++m) {
    const MemberDef& def = c.members[m];
    added =
        writer_.AddMember(current_index(), def.name, def.number, def.type, def.nullable, nullptr);
  }
  if (!added.ok()) return source_.FaultAt(c.offset, ClassLabel(c) + ": " + added.message());
  for (uint32_t m = 0; m < c.members.size(); ++m) {
    if (wqstore::CanBeNull(c.members[m].type) && !c.members[m].nullable) c.required.push_back(m);
  }
  c.flushed = true;
  return Status::OK();
}

Status ClassDefinitions::EndClass() {
  ClassState& c = current();
  // What only the reading of the class needed goes, buckets and all.
  std::unordered_map<std::string, uint32_t>().swap(member_by_name_);
  std::unordered_set<int32_t>().swap(member_numbers_);
  c.members.shrink_to_fit();
  std::vector<uint32_t>().swap(c.required);
  // Only now is it sure that no "objectSize" comes: it defaults to the
  // record size, which must then be in its range.
  if (!c.has_object_size && record_size_ > limits_.defaulted_object_size) {
    return source_.FaultAt(c.offset, ClassLabel(c) +
                                         ": no \"objectSize\" given, and its record "
                                         "size " +
                                         Num(record_size_) + " is out of range of one");
  }
  return Status::OK();
}

void ClassDefinitions::BeginMember(size_t offset) {
  member_ = MemberDef();
  member_has_name_ = false;
  member_offset_ = offset;
}

std::string ClassDefinitions::MemberLabel() const {
  return member_has_name_ ? "member " + Quote(member_.name)
                          : "member #" + Num(static_cast<uint64_t>(current().members.size() + 1));
}

Status ClassDefinitions::MemberField(MemberKey key, const Scalar& v, size_t at) {
  ClassState& c = current();
  const std::string where = ClassLabel(c) + ", " + MemberLabel() + ": ";
  switch (key) {
    case kMemberName: {
      if (v.kind != Scalar::kString) {
        return source_.FaultAt(at, where + "\"name\" must be a string, not " + KindName(v.kind));
      }
      const char* fault = ShellTypableNameFault(v.s);
      if (fault != nullptr) {
        return source_.FaultAt(at, ClassLabel(c) + ": member name " + Quote(v.s) + " " + fault);
      }
      member_.name.assign(v.s);
      if (member_by_name_.count(member_.name) != 0) {
        return source_.FaultAt(at, ClassLabel(c) + ": duplicate member name " + Quote(v.s));
      }
      WQ_RETURN_IF_ERROR(CountName(v.s.size(), at));
      member_has_name_ = true;
      return Status::OK();
    }
    case kMemberType: {
      const Status type = ToTypeCode(v, &member_.type);
      return type.ok() ? type : source_.FaultAt(at, where + type.message());
    }
    case kMemberNumber: {
      const Status number = ToInt32Field(v, "number", &member_.number);
      if (!number.ok()) return source_.FaultAt(at, where + number.message());
      if (member_numbers_.count(member_.number) != 0) {
        return source_.FaultAt(at,
                               ClassLabel(c) + ": duplicate member number " + Num(member_.number));
      }
      return Status::OK();
    }
    case kMemberNullable: {
      const Status nullable = ToNullableFlag(v, &member_.nullable);
      return nullable.ok() ? nullable : source_.FaultAt(at, where + nullable.message());
    }
  }
  return Status::OK();
}

Status ClassDefinitions::MemberFault(const std::string& detail) const {
  return source_.FaultAt(member_offset_,
                         ClassLabel(current()) + ", " + MemberLabel() + ": " + detail);
}

Status ClassDefinitions::EndMember(uint32_t seen) {
  ClassState& c = current();
  if (!(seen & (1u << kMemberName))) return MemberFault("missing key \"name\"");
  if (!(seen & (1u << kMemberType))) return MemberFault("missing key \"type\"");
  if (member_total_ >= limits_.members) {
    return MemberFault("more than " + Num(limits_.members) + " members in all classes");
  }
  const uint64_t record_size = record_size_ + wqstore::FieldWidth(member_.type);
  if (record_size > limits_.record_size) {
    return MemberFault("the class's record would take " + Num(record_size) +
                       " bytes, more than the " + Num(limits_.record_size) + " a record holds");
  }
  if (!(seen & (1u << kMemberNumber))) {
    const int64_t n = c.members.empty() ? 1 : int64_t{c.max_member_number} + 1;
    if (n > INT32_MAX) {
      return MemberFault(
          "no \"number\" given, and one more than the largest member number so far is out of "
          "range");
    }
    member_.number = static_cast<int32_t>(n);
  }
  if (c.members.empty() || member_.number > c.max_member_number) {
    c.max_member_number = member_.number;
  }
  member_numbers_.insert(member_.number);
  member_by_name_.emplace(member_.name, static_cast<uint32_t>(c.members.size()));
  c.members.push_back(std::move(member_));
  member_total_++;
  record_size_ = record_size;
  return Status::OK();
}

}  // namespace wqsource
