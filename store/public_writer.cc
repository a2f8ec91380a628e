// wqstore::Writer on the store's RepositoryWriter: classes by number and
// members by number, as the reading side names them, turned into the
// indexes the writer keeps; the member's type checked before a value is
// set, so that a value of the wrong kind is a type mismatch.
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/data_types.h"
#include "store/public_status.h"
#include "store/writer.h"
#include "wqstore/writer.h"

namespace wqstore {
namespace {

struct MemberSlot {
  uint32_t index;
  ValueKind kind;
  std::string name;
};

struct ClassSlot {
  uint32_t index;
  std::string name;
  std::unordered_map<int32_t, MemberSlot> members;
};

}  // namespace

struct Writer::Rep {
  RepositoryWriter w;
  std::unordered_map<int32_t, ClassSlot> classes;

  Result FindClass(int32_t number, ClassSlot** slot) {
    auto it = classes.find(number);
    if (it == classes.end()) {
      return Result::Error(Result::kNotFound, "no class with number " + std::to_string(number));
    }
    *slot = &it->second;
    return Result::Ok();
  }

  // The object and the member of a value, checked: the object exists, the
  // member exists and takes values of `kind`.
  Result Target(const ObjectId& o, int32_t member, ValueKind kind, ObjectRef* ref,
                uint32_t* member_index) {
    ClassSlot* c;
    Result found = FindClass(o.class_number, &c);
    if (!found.ok()) return found;
    if (o.position < 0 || static_cast<uint32_t>(o.position) >= w.object_count(c->index)) {
      return Result::Error(Result::kNotFound,
                           "class \"" + c->name + "\" has no object " + std::to_string(o.position));
    }
    auto m = c->members.find(member);
    if (m == c->members.end()) {
      return Result::Error(Result::kNotFound,
                           "class \"" + c->name + "\" has no member " + std::to_string(member));
    }
    const ValueKind have = m->second.kind;
    // Null is a value of strings and references alike.
    const bool fits = have == kind || (kind == ValueKind::kNone && CanBeNullKind(have));
    if (!fits) {
      return Result::Error(Result::kTypeMismatch,
                           "class \"" + c->name + "\", member \"" + m->second.name + "\" is " +
                               ValueKindPhrase(have) + ", not " +
                               (kind == ValueKind::kNone ? std::string("a string or reference")
                                                         : ValueKindPhrase(kind)));
    }
    *ref = ObjectRef{c->index, static_cast<uint32_t>(o.position)};
    *member_index = m->second.index;
    return Result::Ok();
  }

  static bool CanBeNullKind(ValueKind k) { return k == ValueKind::kString || k == ValueKind::kRef; }
};

Writer::Writer() : rep_(new Rep()) {}
Writer::~Writer() = default;

namespace {
Result Refused(const Status& s) { return ToResult(s, Result::kInvalidArgument); }
}  // namespace

Result Writer::SpillNear(const std::string& path) { return Refused(rep_->w.SpillNear(path)); }

Result Writer::AddClass(std::string_view name, int32_t number) {
  uint32_t index;
  const Status added = rep_->w.AddClass(name, number, false, 0, &index);
  if (!added.ok()) return Refused(added);
  rep_->classes.emplace(number, ClassSlot{index, std::string(name), {}});
  return Result::Ok();
}

Result Writer::AddClass(std::string_view name, int32_t number, int32_t object_size) {
  uint32_t index;
  const Status added = rep_->w.AddClass(name, number, true, object_size, &index);
  if (!added.ok()) return Refused(added);
  rep_->classes.emplace(number, ClassSlot{index, std::string(name), {}});
  return Result::Ok();
}

Result Writer::AddMember(int32_t class_number, std::string_view name, int32_t number, int type_code,
                         bool nullable) {
  ClassSlot* c;
  Result found = rep_->FindClass(class_number, &c);
  if (!found.ok()) return found;
  uint32_t index;
  const Status added = rep_->w.AddMember(c->index, name, number, type_code, nullable, &index);
  if (!added.ok()) return Refused(added);
  c->members.emplace(number, MemberSlot{index, KindOf(type_code), std::string(name)});
  return Result::Ok();
}

Result Writer::AddObject(int32_t class_number, ObjectId* id) {
  ClassSlot* c;
  Result found = rep_->FindClass(class_number, &c);
  if (!found.ok()) return found;
  ObjectRef ref;
  const Status added = rep_->w.AddObject(c->index, &ref);
  if (!added.ok()) return Refused(added);
  if (id != nullptr) *id = ObjectId{class_number, static_cast<int32_t>(ref.obj)};
  return Result::Ok();
}

// Each setter: the target checked, then the writer's own setter.
#define WQSTORE_SETTER(Name, Kind, Arg, Call)                        \
  Result Writer::Name(const ObjectId& object, int32_t member, Arg) { \
    ObjectRef ref;                                                   \
    uint32_t m;                                                      \
    Result target = rep_->Target(object, member, Kind, &ref, &m);    \
    if (!target.ok()) return target;                                 \
    return Refused(Call);                                            \
  }

WQSTORE_SETTER(SetString, ValueKind::kString, std::string_view utf8,
               rep_->w.SetString(ref, m, utf8))
WQSTORE_SETTER(SetInt, ValueKind::kInt, int32_t value, rep_->w.SetInt(ref, m, value))
WQSTORE_SETTER(SetDouble, ValueKind::kDouble, double value, rep_->w.SetDouble(ref, m, value))
WQSTORE_SETTER(SetChar, ValueKind::kChar, unsigned char value, rep_->w.SetChar(ref, m, value))
WQSTORE_SETTER(SetBlob, ValueKind::kBlob, std::string_view bytes,
               rep_->w.SetBlob(ref, m, bytes.data(), bytes.size()))

#undef WQSTORE_SETTER

Result Writer::SetNull(const ObjectId& object, int32_t member) {
  ObjectRef ref;
  uint32_t m;
  Result target = rep_->Target(object, member, ValueKind::kNone, &ref, &m);
  if (!target.ok()) return target;
  return Refused(rep_->w.SetNull(ref, m));
}

Result Writer::SetReference(const ObjectId& object, int32_t member, const ObjectId& target) {
  ObjectRef ref;
  uint32_t m;
  Result checked = rep_->Target(object, member, ValueKind::kRef, &ref, &m);
  if (!checked.ok()) return checked;
  ClassSlot* tc;
  Result found = rep_->FindClass(target.class_number, &tc);
  if (!found.ok()) return found;
  if (target.position < 0 ||
      static_cast<uint32_t>(target.position) >= rep_->w.object_count(tc->index)) {
    return Result::Error(Result::kNotFound,
                         "reference to object " + target.ToString() + ", which has not been added");
  }
  return Refused(
      rep_->w.SetRef(ref, m, ObjectRef{tc->index, static_cast<uint32_t>(target.position)}));
}

int32_t Writer::class_count() const { return static_cast<int32_t>(rep_->w.class_count()); }

int32_t Writer::object_count(int32_t class_number) const {
  auto it = rep_->classes.find(class_number);
  return it == rep_->classes.end() ? 0
                                   : static_cast<int32_t>(rep_->w.object_count(it->second.index));
}

Result Writer::Commit(const std::string& path) {
  try {
    return ToResult(rep_->w.Commit(path), Result::kIoError, "cannot write " + path + ": ");
  } catch (const std::bad_alloc&) {
    return Result::Error(Result::kOutOfMemory, "cannot write " + path + ": out of memory");
  }
}

Result Writer::Serialize(std::string* image) const {
  return ToResult(rep_->w.Serialize(image), Result::kInvalidArgument);
}

}  // namespace wqstore
