// ClassDefinitions: reads what defines the classes of a source: a class's
// name, number and object size, each member's fields, the default numbers,
// and adds a class with its members to the writer once it is complete
// enough.
#ifndef WQSQL_TOOLS_MAKE_CLASS_DEFINITIONS_H_
#define WQSQL_TOOLS_MAKE_CLASS_DEFINITIONS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/status.h"
#include "store/scan.h"
#include "store/writer.h"
#include "tools/make/class_model.h"
#include "tools/make/json_scalar.h"
#include "tools/make/source_faults.h"

namespace wqsource {

// The keys of a class and of a member, in the order of the tables below; a
// key's index is its bit in the reader's set of keys seen.
enum ClassKey {
  kClassName,
  kClassNumber,
  kClassObjectSize,
  kClassMembers,
  kClassObjects,
  kClassCsv
};
enum MemberKey { kMemberName, kMemberType, kMemberNumber, kMemberNullable };
constexpr std::string_view kClassKeys[] = {"name", "number", "objectSize", "members", "objects",
                                           "csv",  {}};
constexpr std::string_view kMemberKeys[] = {"name", "type", "number", "nullable", {}};

// The most a source may define: what the file format and the store's
// interface hold (store/format.h). A source past one is refused where it
// passes it rather than wrapped; tests lower them to reach each refusal.
struct SourceLimits {
  uint64_t classes = wqstore::format::kMaxClassCount;
  uint64_t members = wqstore::format::kMaxMemberCount;  // of all classes together
  uint64_t record_size = wqstore::format::kMaxRecordSize;
  uint64_t names_length = wqstore::format::kMaxNamesLength;  // every name and its NUL
  // The largest record size that stands in for a missing "objectSize" (an i32).
  uint64_t defaulted_object_size = wqstore::format::kMaxObjectSize;
};

class ClassDefinitions {
 public:
  ClassDefinitions(const SourceText& source, wqstore::RepositoryWriter& writer,
                   const SourceLimits& limits = SourceLimits())
      : source_(source), writer_(writer), limits_(limits) {}

  const ClassList& classes() const { return classes_; }
  // The class being read.
  ClassState& current() { return classes_.back(); }
  const ClassState& current() const { return classes_.back(); }
  // Its index in the writer.
  uint32_t current_index() const { return static_cast<uint32_t>(classes_.size() - 1); }

  // A class whose '{' is at `offset`.
  void BeginClass(size_t offset);
  // The value at `at` of the current class's "name", "number" or
  // "objectSize".
  Status ClassField(ClassKey key, const Scalar& v, size_t at);
  // Adds the current class and its members to the writer; a class without
  // "number" gets one more than the largest number of the classes added
  // before it.
  Status Flush();
  // Drops what only the reading of the current class needed; fails when
  // the class lacks an "objectSize" its record size cannot stand in for.
  Status EndClass();

  // A member of the current class whose '{' is at `offset`.
  void BeginMember(size_t offset);
  // The value at `at` of the member's `key`.
  Status MemberField(MemberKey key, const Scalar& v, size_t at);
  // The member's '}', with the set of keys it gave; a member without
  // "number" gets one more than the largest member number before it.
  Status EndMember(uint32_t seen);
  // "member \"size\"", or "member #2" before the name is known.
  std::string MemberLabel() const;
  // The current class's members by name.
  const std::unordered_map<std::string, uint32_t>& member_by_name() const {
    return member_by_name_;
  }

 private:
  Status MemberFault(const std::string& detail) const;
  // Counts a name of `length` bytes into the names area; a fault at `at`
  // when the area would pass its limit.
  Status CountName(size_t length, size_t at);

  const SourceText& source_;
  wqstore::RepositoryWriter& writer_;
  const SourceLimits limits_;
  uint64_t names_length_ = 0;  // of the names read so far, each with its NUL
  uint64_t member_total_ = 0;  // of all classes read so far
  uint64_t record_size_ = 0;   // the current class's, from its members so far
  ClassList classes_;
  // The current class's members by name and its member numbers; class
  // names and numbers are the writer's to check.
  std::unordered_map<std::string, uint32_t> member_by_name_;
  std::unordered_set<int32_t> member_numbers_;
  bool any_class_ = false;
  int32_t max_class_number_ = 0;

  MemberDef member_;  // the member being read
  bool member_has_name_ = false;
  size_t member_offset_ = 0;
};

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_CLASS_DEFINITIONS_H_
