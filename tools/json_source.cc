// The JSON source reader: a SAX handler over the source text that checks its
// structure and values and feeds them to a RepositoryWriter as they come.
//
// A class's objects go straight into the writer when the class's name and
// members come before its objects. Otherwise (or, in the careful mode, when
// its number or object size is not known yet either) the objects are kept in
// a compact buffer until the class ends. References are set at once when
// their target is known and kept as pending otherwise, to be resolved when
// the whole source has been read.
#include "tools/json_source.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "store/api.h"
#include "store/data_types.h"
#include "store/names.h"
#include "tools/id_table.h"
#include "tools/json_events.h"
#include "tools/source_text.h"

namespace wqsource {

SourceError::SourceError(size_t line, size_t column, const std::string& detail)
    : std::runtime_error(std::to_string(line) + ":" + std::to_string(column) + ": " + detail),
      line_(line),
      column_(column),
      detail_(detail) {}

namespace {

using wqstore::ObjectId;
using wqstore::RepositoryWriter;

// Thrown in the fast mode when a class's number or object size comes after
// objects that already went into the writer; the build starts again in the
// careful mode.
struct RestartCarefully {};

struct MemberDef {
  std::string name;
  int32_t number = 0;
  int type = 0;
  bool nullable = true;
};

// A value of a class whose objects are buffered: where it is in the source,
// which is read again when the class ends.
struct BufferedValue {
  uint64_t offset;     // of the value
  uint32_t key_delta;  // offset minus the offset of its key (at most UINT32_MAX)
  uint32_t name;       // index into ClassState::buffered_names
};

struct BufferedObject {
  static constexpr uint64_t kNoId = UINT64_MAX;
  uint64_t offset = 0;        // of the object's '{'
  uint64_t id_offset = kNoId;  // of its id string
  uint64_t value_count = 0;   // its values follow those of the objects before it
};

struct ClassState {
  size_t offset = 0;     // the class's '{'
  uint32_t ordinal = 0;  // 1-based place in "classes"
  std::string name;
  bool has_name = false;
  int32_t number = 0;
  bool has_number = false;
  int32_t object_size = 0;
  bool has_object_size = false;
  bool has_members = false;
  std::vector<MemberDef> members;
  std::unordered_map<std::string, uint32_t> member_by_name;
  std::unordered_set<int32_t> member_numbers;
  int32_t max_member_number = 0;
  bool flushed = false;            // AddClass and AddMember done
  std::vector<uint32_t> required;  // string and reference members that are not nullable
  uint32_t object_count = 0;

  bool buffering = false;
  std::vector<std::string> buffered_names;
  std::unordered_map<std::string, uint32_t> buffered_name_index;
  std::vector<BufferedObject> buffered_objects;
  std::vector<BufferedValue> buffered_values;
};

struct PendingRef {
  ObjectId source;
  uint32_t member;
  TextRef target;
  size_t offset;
};

enum class Ctx : uint8_t { kRoot, kTop, kClasses, kClass, kMembers, kMember, kObjects, kObject, kValues };

// Keys of the JSON objects of the source, by context. The index of a key is
// its bit in Frame::seen.
enum TopKey { kTopClasses };
enum ClassKey { kClassName, kClassNumber, kClassObjectSize, kClassMembers, kClassObjects };
enum MemberKey { kMemberName, kMemberType, kMemberNumber, kMemberNullable };
enum ObjectKey { kObjectId, kObjectValues };
constexpr std::string_view kTopKeys[] = {"classes", {}};
constexpr std::string_view kClassKeys[] = {"name",    "number",  "objectSize",
                                           "members", "objects", {}};
constexpr std::string_view kMemberKeys[] = {"name", "type", "number", "nullable", {}};
constexpr std::string_view kObjectKeys[] = {"id", "values", {}};

struct Frame {
  Ctx ctx;
  uint32_t seen = 0;
  int field = -1;  // the key whose value comes next; in "values" a member index
  size_t key_from = 0;  // where the scan for the current key's token starts
};

class Reader {
 public:
  using number_integer_t = Json::number_integer_t;
  using number_unsigned_t = Json::number_unsigned_t;
  using number_float_t = Json::number_float_t;
  using string_t = Json::string_t;
  using binary_t = Json::binary_t;

  Reader(std::string_view text, RepositoryWriter& writer, bool fast)
      : text_(text), writer_(writer), fast_(fast) {}

  void Run() {
    Cursor cursor{text_.data(), text_.data() + text_.size()};
    cursor_ = &cursor;
    frames_.reserve(16);
    frames_.push_back(Frame{Ctx::kRoot});
    ParseJson(cursor, this, true);
    ResolvePending();
  }

  // SAX events.
  bool null() {
    Begin(false);
    if (skip_ == 0) Value(Scalar{});
    return true;
  }
  bool boolean(bool b) {
    Begin(false);
    if (skip_ > 0) return true;
    Scalar v;
    v.kind = Scalar::kBool;
    v.b = b;
    Value(v);
    return true;
  }
  bool number_integer(number_integer_t i) {
    Begin(true);
    if (skip_ > 0) return true;
    Scalar v;
    v.kind = Scalar::kInt;
    v.i = i;
    Value(v);
    return true;
  }
  bool number_unsigned(number_unsigned_t u) {
    Begin(true);
    if (skip_ > 0) return true;
    Scalar v;
    v.kind = Scalar::kUnsigned;
    v.u = u;
    Value(v);
    return true;
  }
  bool number_float(number_float_t d, const string_t& raw) {
    Begin(true);
    if (skip_ > 0) return true;
    Scalar v;
    // The parser hands integer literals beyond 64 bits over as floats.
    v.kind = raw.view().find_first_of(".eE") == std::string_view::npos ? Scalar::kBigInt
                                                                        : Scalar::kFloat;
    v.d = d;
    Value(v);
    return true;
  }
  bool string(string_t& s) {
    Begin(false);
    if (skip_ > 0) return true;
    Scalar v;
    v.kind = Scalar::kString;
    v.s = s.view();
    Value(v);
    return true;
  }
  bool binary(binary_t&) {
    Begin(false);
    return true;  // JSON text has no binary values
  }
  bool start_object(std::size_t) {
    Begin(false);
    if (skip_ > 0) {
      ++skip_;
      return true;
    }
    Scalar v;
    v.kind = Scalar::kObject;
    Value(v);
    return true;
  }
  bool start_array(std::size_t) {
    Begin(false);
    if (skip_ > 0) {
      ++skip_;
      return true;
    }
    Scalar v;
    v.kind = Scalar::kArray;
    Value(v);
    return true;
  }
  bool end_object() {
    Begin(false);
    if (skip_ > 0) {
      --skip_;
      return true;
    }
    End();
    return true;
  }
  bool end_array() { return end_object(); }
  bool key(string_t& k) {
    Begin(false);
    if (skip_ == 0) Key(k.view());
    return true;
  }
  bool parse_error(std::size_t position, const std::string& last_token,
                   const Json::exception& ex) {
    if (ex.id == 406) {
      // A number beyond the range of a double; it starts after the last event.
      token_from_ = mark_;
      Fail(TokenStart(), "number out of range");
    }
    const size_t offset = position > 0 ? position - 1 : 0;
    Fail(offset, DescribeParseError(ex.what(), last_token));
  }

 private:
  // --- Positions -----------------------------------------------------------

  // Called first by every event. The parser has just read the event's token
  // (and, after a number, one character more). The token starts at the first
  // character after the previous event's token that is not blank, ',' or ':'.
  void Begin(bool number) {
    token_from_ = mark_;
    const char* end = text_.data() + text_.size();
    const char* p = cursor_->pos;
    if (number && p != end) --p;
    mark_ = static_cast<size_t>(p - text_.data());
  }

  size_t TokenStart() const { return TokenStartFrom(token_from_); }

  // The offset of the token that the scan from `from` finds. Offsets of
  // tokens are kept as the scan's start where they are needed for messages
  // only, and resolved when a message is made; resolving the offset of a
  // token itself gives that offset again.
  size_t TokenStartFrom(size_t from) const {
    size_t i = from;
    if (i == 0 && text_.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
    while (i < text_.size()) {
      const char c = text_[i];
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != ',' && c != ':') break;
      ++i;
    }
    return i;
  }

  [[noreturn]] void Fail(size_t offset, const std::string& detail) const {
    const LineColumn lc = LocateOffset(text_, offset);
    throw SourceError(lc.line, lc.column, detail);
  }
  // Fail at the token that the scan from `from` finds.
  [[noreturn]] void FailAt(size_t from, const std::string& detail) const {
    Fail(TokenStartFrom(from), detail);
  }


  // --- Labels for messages -------------------------------------------------

  std::string ClassLabel(const ClassState& c) const {
    return c.has_name ? "class " + Quote(c.name) : "class #" + std::to_string(c.ordinal);
  }
  std::string MemberLabel() const {
    return member_has_name_ ? "member " + Quote(member_.name)
                            : "member #" + std::to_string(Cur().members.size() + 1);
  }
  std::string ObjectLabel() const {
    return obj_has_id_ ? "object " + Quote(obj_id_) : "object #" + std::to_string(obj_ordinal_);
  }
  std::string ValueLabel(const ClassState& c, uint32_t m) const {
    return ClassLabel(c) + ", " + ObjectLabel() + ", member " + Quote(c.members[m].name);
  }

  ClassState& Cur() { return classes_.back(); }
  const ClassState& Cur() const { return classes_.back(); }

  // --- Dispatch ------------------------------------------------------------

  void Key(std::string_view k) {
    Frame& f = frames_.back();
    f.key_from = token_from_;
    const std::string_view* keys = nullptr;
    switch (f.ctx) {
      case Ctx::kTop: keys = kTopKeys; break;
      case Ctx::kClass: keys = kClassKeys; break;
      case Ctx::kMember: keys = kMemberKeys; break;
      case Ctx::kObject: keys = kObjectKeys; break;
      case Ctx::kValues: ValuesKey(f, k); return;
      default: return;  // the parser gives keys in objects only
    }
    int field = -1;
    for (int i = 0; !keys[i].empty(); ++i) {
      if (k == keys[i]) {
        field = i;
        break;
      }
    }
    if (field < 0) FailAt(f.key_from, Where(f.ctx) + "unknown key " + Quote(k));
    if (f.seen & (1u << field)) FailAt(f.key_from, Where(f.ctx) + "duplicate key " + Quote(k));
    f.seen |= 1u << field;
    f.field = field;
    if (f.ctx == Ctx::kClass && Cur().flushed &&
        (field == kClassNumber || field == kClassObjectSize)) {
      throw RestartCarefully{};
    }
  }

  // The prefix of a message about a key or value in context `ctx`.
  std::string Where(Ctx ctx) const {
    switch (ctx) {
      case Ctx::kTop: return "top level: ";
      case Ctx::kClass: return ClassLabel(Cur()) + ": ";
      case Ctx::kMember: return ClassLabel(Cur()) + ", " + MemberLabel() + ": ";
      case Ctx::kObject:
      case Ctx::kValues: return ClassLabel(Cur()) + ", " + ObjectLabel() + ": ";
      default: return "";
    }
  }

  void Value(const Scalar& v) {
    Frame& f = frames_.back();
    switch (f.ctx) {
      case Ctx::kRoot:
        if (v.kind != Scalar::kObject) {
          Fail(TokenStart(), std::string("the source must be a JSON object with the key "
                                         "\"classes\", not ") + KindName(v.kind));
        }
        top_offset_ = TokenStart();
        frames_.push_back(Frame{Ctx::kTop});
        return;
      case Ctx::kTop:
        if (v.kind != Scalar::kArray) {
          Fail(TokenStart(), std::string("top level: \"classes\" must be an array, not ") +
                                 KindName(v.kind));
        }
        frames_.push_back(Frame{Ctx::kClasses});
        return;
      case Ctx::kClasses:
        if (v.kind != Scalar::kObject) {
          Fail(TokenStart(), std::string("each class must be a JSON object, not ") +
                                 KindName(v.kind));
        }
        BeginClass();
        frames_.push_back(Frame{Ctx::kClass});
        return;
      case Ctx::kClass: ClassValue(f, v); return;
      case Ctx::kMembers:
        if (v.kind != Scalar::kObject) {
          Fail(TokenStart(), ClassLabel(Cur()) + ": each member must be a JSON object, not " +
                                 KindName(v.kind));
        }
        BeginMember();
        frames_.push_back(Frame{Ctx::kMember});
        return;
      case Ctx::kMember: MemberValue(f, v); return;
      case Ctx::kObjects:
        if (v.kind != Scalar::kObject) {
          Fail(TokenStart(), ClassLabel(Cur()) + ": each object must be a JSON object, not " +
                                 KindName(v.kind));
        }
        BeginObject();
        frames_.push_back(Frame{Ctx::kObject});
        return;
      case Ctx::kObject: ObjectValue(f, v); return;
      case Ctx::kValues: MemberValueOfObject(f, v); return;
    }
  }

  void End() {
    const Ctx ctx = frames_.back().ctx;
    const uint32_t seen = frames_.back().seen;
    frames_.pop_back();
    switch (ctx) {
      case Ctx::kTop:
        if (!(seen & (1u << kTopClasses))) Fail(top_offset_, "top level: missing key \"classes\"");
        return;
      case Ctx::kClass: EndClass(); return;
      case Ctx::kMember: EndMember(seen); return;
      case Ctx::kObject: EndObject(); return;
      default: return;
    }
  }

  // Reads a 32-bit integer for the key `what`; `where` prefixes messages.
  int32_t ExpectInt32(const Scalar& v, const std::string& where, const char* what) const {
    if (IsInteger(v.kind)) {
      bool in_range = false;
      int32_t n = 0;
      if (v.kind == Scalar::kInt) {
        in_range = v.i >= INT32_MIN && v.i <= INT32_MAX;
        n = static_cast<int32_t>(v.i);
      } else if (v.kind == Scalar::kUnsigned) {
        in_range = v.u <= static_cast<uint64_t>(INT32_MAX);
        n = static_cast<int32_t>(v.u);
      }
      if (in_range) return n;
      Fail(TokenStart(), where + "\"" + what + "\" out of range (-2147483648 to 2147483647)");
    }
    Fail(TokenStart(), where + "\"" + what + "\" must be an integer, not " + KindName(v.kind));
  }

  // --- Classes -------------------------------------------------------------

  void BeginClass() {
    buffered_stamps_.clear();
    ClassState c;
    c.offset = TokenStart();
    c.ordinal = static_cast<uint32_t>(classes_.size() + 1);
    classes_.push_back(std::move(c));
  }

  void ClassValue(Frame& f, const Scalar& v) {
    ClassState& c = Cur();
    const std::string where = ClassLabel(c) + ": ";
    switch (f.field) {
      case kClassName: {
        if (v.kind != Scalar::kString) {
          Fail(TokenStart(), where + "\"name\" must be a string, not " + KindName(v.kind));
        }
        const char* fault = ShellTypableNameFault(v.s);
        if (fault != nullptr) Fail(TokenStart(), "class name " + Quote(v.s) + " " + fault);
        if (wqstore::IsCatalogueTableName(v.s)) {
          Fail(TokenStart(), "class name " + Quote(v.s) + " is reserved for a catalogue table");
        }
        if (!class_names_.insert(std::string(v.s)).second) {
          Fail(TokenStart(), "duplicate class name " + Quote(v.s));
        }
        c.name.assign(v.s);
        c.has_name = true;
        return;
      }
      case kClassNumber:
        c.number = ExpectInt32(v, where, "number");
        if (class_numbers_.count(c.number) != 0) {
          Fail(TokenStart(), where + "duplicate class number " + std::to_string(c.number));
        }
        c.has_number = true;
        return;
      case kClassObjectSize:
        c.object_size = ExpectInt32(v, where, "objectSize");
        c.has_object_size = true;
        return;
      case kClassMembers:
        if (v.kind != Scalar::kArray) {
          Fail(TokenStart(), where + "\"members\" must be an array, not " + KindName(v.kind));
        }
        c.has_members = true;
        frames_.push_back(Frame{Ctx::kMembers});
        return;
      case kClassObjects:
        if (v.kind != Scalar::kArray) {
          Fail(TokenStart(), where + "\"objects\" must be an array, not " + KindName(v.kind));
        }
        // Straight into the writer when nothing the writer needs first can
        // still come; otherwise keep the objects until the class ends.
        if (c.has_name && c.has_members &&
            (fast_ || (c.has_number && c.has_object_size))) {
          Flush(c);
        } else {
          c.buffering = true;
        }
        frames_.push_back(Frame{Ctx::kObjects});
        return;
    }
  }

  // Adds the class and its members to the writer.
  void Flush(ClassState& c) {
    if (!c.has_number) {
      const int64_t n = any_class_ ? int64_t{max_class_number_} + 1 : 1;
      if (n > INT32_MAX) {
        Fail(c.offset, ClassLabel(c) + ": no \"number\" given, and one more than the largest "
                                       "class number so far is out of range");
      }
      c.number = static_cast<int32_t>(n);
    }
    if (!any_class_ || c.number > max_class_number_) max_class_number_ = c.number;
    any_class_ = true;
    class_numbers_.insert(c.number);
    try {
      writer_.AddClass(c.name, c.number, c.has_object_size, c.object_size);
      const uint32_t index = static_cast<uint32_t>(classes_.size() - 1);
      for (const MemberDef& m : c.members) {
        writer_.AddMember(index, m.name, m.number, m.type, m.nullable);
      }
    } catch (const awq_StoreError& e) {
      Fail(c.offset, ClassLabel(c) + ": " + e.what());
    }
    for (uint32_t m = 0; m < c.members.size(); ++m) {
      const int t = c.members[m].type;
      const bool nullable_kind = t == wqTypeString || t == wqTypeObjectRef || t == wqTypeObjectRefAlt;
      if (nullable_kind && !c.members[m].nullable) c.required.push_back(m);
    }
    stamps_.assign(c.members.size(), 0);
    c.flushed = true;
  }

  void EndClass() {
    ClassState& c = Cur();
    if (!c.has_name) Fail(c.offset, ClassLabel(c) + ": missing key \"name\"");
    if (!c.flushed) {
      Flush(c);
      ReplayBuffered(c);
    }
    // Keep the names for messages about references; drop the rest.
    std::vector<BufferedObject>().swap(c.buffered_objects);
    std::vector<BufferedValue>().swap(c.buffered_values);
    c.buffered_names.clear();
    c.buffered_name_index.clear();
    c.member_by_name.clear();
    c.member_numbers.clear();
  }

  // --- Members -------------------------------------------------------------

  void BeginMember() {
    member_ = MemberDef();
    member_has_name_ = false;
    member_offset_ = TokenStart();
  }

  void MemberValue(Frame& f, const Scalar& v) {
    ClassState& c = Cur();
    const std::string where = ClassLabel(c) + ", " + MemberLabel() + ": ";
    switch (f.field) {
      case kMemberName: {
        if (v.kind != Scalar::kString) {
          Fail(TokenStart(), where + "\"name\" must be a string, not " + KindName(v.kind));
        }
        const char* fault = ShellTypableNameFault(v.s);
        if (fault != nullptr) {
          Fail(TokenStart(), ClassLabel(c) + ": member name " + Quote(v.s) + " " + fault);
        }
        member_.name.assign(v.s);
        if (c.member_by_name.count(member_.name) != 0) {
          Fail(TokenStart(), ClassLabel(c) + ": duplicate member name " + Quote(v.s));
        }
        member_has_name_ = true;
        return;
      }
      case kMemberType:
        if (v.kind == Scalar::kString) {
          member_.type = wqstore::DataTypeCodeOfName(v.s);
          if (member_.type >= 0) return;
        } else if ((v.kind == Scalar::kInt && v.i >= 0 && v.i <= 255) ||
                   (v.kind == Scalar::kUnsigned && v.u <= 255)) {
          member_.type = static_cast<int>(v.kind == Scalar::kInt ? v.i : static_cast<int64_t>(v.u));
          return;
        }
        Fail(TokenStart(), where + "\"type\" must be a code 0 to 255 or one of \"string\", "
                                   "\"int\", \"double\", \"char\", \"blob\", \"ref\"");
      case kMemberNumber:
        member_.number = ExpectInt32(v, where, "number");
        if (c.member_numbers.count(member_.number) != 0) {
          Fail(TokenStart(), ClassLabel(c) + ": duplicate member number " +
                                 std::to_string(member_.number));
        }
        return;
      case kMemberNullable:
        if (v.kind != Scalar::kBool) {
          Fail(TokenStart(), where + "\"nullable\" must be true or false, not " +
                                 KindName(v.kind));
        }
        member_.nullable = v.b;
        return;
    }
  }

  void EndMember(uint32_t seen) {
    ClassState& c = Cur();
    if (!(seen & (1u << kMemberName))) {
      Fail(member_offset_, ClassLabel(c) + ", " + MemberLabel() + ": missing key \"name\"");
    }
    if (!(seen & (1u << kMemberType))) {
      Fail(member_offset_, ClassLabel(c) + ", " + MemberLabel() + ": missing key \"type\"");
    }
    if (!(seen & (1u << kMemberNumber))) {
      const int64_t n = c.members.empty() ? 1 : int64_t{c.max_member_number} + 1;
      if (n > INT32_MAX) {
        Fail(member_offset_, ClassLabel(c) + ", " + MemberLabel() +
                                 ": no \"number\" given, and one more than the largest member "
                                 "number so far is out of range");
      }
      member_.number = static_cast<int32_t>(n);
    }
    if (c.members.empty() || member_.number > c.max_member_number) {
      c.max_member_number = member_.number;
    }
    c.member_numbers.insert(member_.number);
    c.member_by_name.emplace(member_.name, static_cast<uint32_t>(c.members.size()));
    c.members.push_back(std::move(member_));
  }

  // --- Objects -------------------------------------------------------------

  void BeginObject() {
    ClassState& c = Cur();
    ++serial_;
    obj_has_id_ = false;
    obj_id_ = std::string_view();
    obj_ordinal_ = ++c.object_count;
    if (c.buffering) {
      BufferedObject b;
      b.offset = TokenStart();
      c.buffered_objects.push_back(b);
      return;
    }
    object_from_ = token_from_;
    next_guess_ = 0;
    try {
      object_ = writer_.AddObject(static_cast<uint32_t>(classes_.size() - 1));
    } catch (const awq_StoreError& e) {
      Fail(TokenStart(), ClassLabel(c) + ", " + ObjectLabel() + ": " + e.what());
    }
  }

  void ObjectValue(Frame& f, const Scalar& v) {
    ClassState& c = Cur();
    if (f.field == kObjectId) {
      if (v.kind != Scalar::kString) {
        Fail(TokenStart(), Where(Ctx::kObject) + "\"id\" must be a string, not " +
                               KindName(v.kind));
      }
      if (c.buffering) {
        c.buffered_objects.back().id_offset = TokenStart();
        obj_id_text_.assign(v.s);
      } else {
        obj_id_text_.assign(v.s);
        if (!ids_.Insert(v.s, object_)) {
          Fail(TokenStart(), Where(Ctx::kObject) + "duplicate object id " + Quote(v.s));
        }
      }
      obj_has_id_ = true;
      obj_id_ = obj_id_text_;
      return;
    }
    if (v.kind != Scalar::kObject) {
      Fail(TokenStart(), Where(Ctx::kObject) + "\"values\" must be a JSON object, not " +
                             KindName(v.kind));
    }
    frames_.push_back(Frame{Ctx::kValues});
  }

  void ValuesKey(Frame& f, std::string_view k) {
    ClassState& c = Cur();
    if (c.buffering) {
      key_text_.assign(k);
      auto it = c.buffered_name_index.find(key_text_);
      uint32_t idx;
      if (it == c.buffered_name_index.end()) {
        idx = static_cast<uint32_t>(c.buffered_names.size());
        c.buffered_names.push_back(key_text_);
        c.buffered_name_index.emplace(key_text_, idx);
        buffered_stamps_.push_back(0);
      } else {
        idx = it->second;
      }
      if (buffered_stamps_[idx] == serial_) {
        FailAt(f.key_from, Where(Ctx::kValues) + "duplicate key " + Quote(k));
      }
      buffered_stamps_[idx] = serial_;
      f.field = static_cast<int>(idx);
      return;
    }
    uint32_t m;
    if (next_guess_ < c.members.size() && c.members[next_guess_].name == k) {
      m = next_guess_;
    } else {
      key_text_.assign(k);
      auto it = c.member_by_name.find(key_text_);
      if (it == c.member_by_name.end()) {
        FailAt(f.key_from, Where(Ctx::kValues) + "unknown member " + Quote(k));
      }
      m = it->second;
    }
    next_guess_ = m + 1;
    if (stamps_[m] == serial_) {
      FailAt(f.key_from, Where(Ctx::kValues) + "duplicate key " + Quote(k));
    }
    stamps_[m] = serial_;
    f.field = static_cast<int>(m);
  }

  void MemberValueOfObject(Frame& f, const Scalar& v) {
    ClassState& c = Cur();
    if (!c.buffering) {
      Apply(c, object_, static_cast<uint32_t>(f.field), v, token_from_);
      return;
    }
    BufferedValue b;
    b.offset = TokenStart();
    b.key_delta = static_cast<uint32_t>(
        std::min<uint64_t>(b.offset - TokenStartFrom(f.key_from), UINT32_MAX));
    b.name = static_cast<uint32_t>(f.field);
    // An array or object is rejected when the class ends; skip its insides.
    if (v.kind == Scalar::kArray || v.kind == Scalar::kObject) skip_ = 1;
    c.buffered_values.push_back(b);
    ++c.buffered_objects.back().value_count;
  }

  void EndObject() {
    ClassState& c = Cur();
    if (c.buffering) return;
    CheckRequired(c, object_from_);
  }

  // Fails when a member that may not be null got no value in the current
  // object (the members given are stamped with serial_). `from` is the scan
  // start or the offset of the object.
  void CheckRequired(const ClassState& c, size_t from) const {
    for (uint32_t m : c.required) {
      if (stamps_[m] != serial_) {
        FailAt(from, ClassLabel(c) + ", " + ObjectLabel() + ": no value for member " +
                         Quote(c.members[m].name) + ", which is not nullable");
      }
    }
  }

  void ReplayBuffered(ClassState& c) {
    std::vector<int64_t> member_of(c.buffered_names.size(), -1);
    for (size_t n = 0; n < c.buffered_names.size(); ++n) {
      auto it = c.member_by_name.find(c.buffered_names[n]);
      if (it != c.member_by_name.end()) member_of[n] = it->second;
    }
    const uint32_t cls = static_cast<uint32_t>(classes_.size() - 1);
    OneValue reread;
    uint32_t ordinal = 0;
    size_t next_value = 0;
    for (const BufferedObject& b : c.buffered_objects) {
      ++serial_;
      obj_ordinal_ = ++ordinal;
      obj_has_id_ = false;
      ObjectId o;
      try {
        o = writer_.AddObject(cls);
      } catch (const awq_StoreError& e) {
        Fail(b.offset, ClassLabel(c) + ", " + ObjectLabel() + ": " + e.what());
      }
      if (b.id_offset != BufferedObject::kNoId) {
        obj_id_text_.assign(reread.Read(text_, b.id_offset).s);
        if (!ids_.Insert(obj_id_text_, o)) {
          Fail(b.id_offset, ClassLabel(c) + ", " + ObjectLabel() + ": duplicate object id " +
                                Quote(obj_id_text_));
        }
        obj_has_id_ = true;
        obj_id_ = obj_id_text_;
      }
      for (uint64_t k = 0; k < b.value_count; ++k) {
        const BufferedValue& bv = c.buffered_values[next_value++];
        if (member_of[bv.name] < 0) {
          Fail(bv.offset - bv.key_delta, ClassLabel(c) + ", " + ObjectLabel() +
                                             ": unknown member " + Quote(c.buffered_names[bv.name]));
        }
        const uint32_t m = static_cast<uint32_t>(member_of[bv.name]);
        stamps_[m] = serial_;
        Apply(c, o, m, reread.Read(text_, bv.offset), bv.offset);
      }
      CheckRequired(c, b.offset);
    }
  }

  // --- Values --------------------------------------------------------------

  // `from` in these is the scan start or the offset of the value; see
  // TokenStartFrom.
  [[noreturn]] void WrongType(const ClassState& c, uint32_t m, const Scalar& v, size_t from,
                              const char* expected) const {
    FailAt(from, ValueLabel(c, m) + ": expected " + expected + ", not " + KindName(v.kind));
  }

  void Apply(const ClassState& c, ObjectId o, uint32_t m, const Scalar& v, size_t from) {
    const MemberDef& def = c.members[m];
    try {
      switch (def.type) {
        case wqTypeString:
          if (v.kind == Scalar::kString) {
            if (v.s.find('\0') != std::string_view::npos) {
              FailAt(from, ValueLabel(c, m) + ": a string value cannot hold U+0000");
            }
            writer_.SetString(o, m, v.s);
          } else if (v.kind == Scalar::kNull) {
            NullValue(c, m, from);
          } else {
            WrongType(c, m, v, from, "a string or null");
          }
          return;
        case wqTypeInt: {
          if (!IsInteger(v.kind)) WrongType(c, m, v, from, "an integer");
          const bool ok = (v.kind == Scalar::kInt && v.i >= INT32_MIN && v.i <= INT32_MAX) ||
                          (v.kind == Scalar::kUnsigned && v.u <= uint64_t{INT32_MAX});
          if (!ok) {
            FailAt(from, ValueLabel(c, m) + ": integer out of range (-2147483648 to 2147483647)");
          }
          writer_.SetInt(o, m, v.kind == Scalar::kInt ? static_cast<int32_t>(v.i)
                                                      : static_cast<int32_t>(v.u));
          return;
        }
        case wqTypeDouble: {
          double d;
          switch (v.kind) {
            case Scalar::kInt: d = static_cast<double>(v.i); break;
            case Scalar::kUnsigned: d = static_cast<double>(v.u); break;
            case Scalar::kFloat:
            case Scalar::kBigInt: d = v.d; break;
            default: WrongType(c, m, v, from, "a number");
          }
          if (!std::isfinite(d)) FailAt(from, ValueLabel(c, m) + ": number out of range");
          writer_.SetDouble(o, m, d);
          return;
        }
        case wqTypeChar: {
          int code = -1;
          if (v.kind == Scalar::kString) {
            code = DecodeLatin1Char(v.s);
            if (code < 0) {
              FailAt(from, ValueLabel(c, m) + ": expected a one-character string in U+0000 to "
                                              "U+00FF");
            }
          } else if (IsInteger(v.kind)) {
            if (v.kind == Scalar::kInt && v.i >= 0 && v.i <= 255) code = static_cast<int>(v.i);
            if (v.kind == Scalar::kUnsigned && v.u <= 255) code = static_cast<int>(v.u);
            if (code < 0) {
              FailAt(from, ValueLabel(c, m) + ": character code out of range (0 to 255)");
            }
          } else {
            WrongType(c, m, v, from, "a character code or a one-character string");
          }
          writer_.SetChar(o, m, static_cast<uint8_t>(code));
          return;
        }
        case wqTypeBlob: {
          if (v.kind != Scalar::kString) {
            WrongType(c, m, v, from, "a string of hexadecimal digit pairs");
          }
          size_t bad = 0;
          if (!DecodeHex(v.s, blob_, bad)) {
            if (bad == v.s.size()) {
              FailAt(from, ValueLabel(c, m) + ": blob has an odd number of hexadecimal digits");
            }
            FailAt(from, ValueLabel(c, m) + ": blob character " + std::to_string(bad + 1) +
                             " is not a hexadecimal digit");
          }
          writer_.SetBlob(o, m, blob_.data(), blob_.size());
          return;
        }
        case wqTypeObjectRef:
        case wqTypeObjectRefAlt:
          if (v.kind == Scalar::kString) {
            const ObjectId* target = ids_.Find(v.s);
            if (target != nullptr) {
              writer_.SetRef(o, m, *target);
            } else {
              pending_.push_back(PendingRef{o, m, ids_.Keep(v.s), TokenStartFrom(from)});
            }
          } else if (v.kind == Scalar::kNull) {
            NullValue(c, m, from);
          } else {
            WrongType(c, m, v, from, "an object id (a string) or null");
          }
          return;
        default:
          FailAt(from, ValueLabel(c, m) + ": a member of type code " + std::to_string(def.type) +
                           " takes no value");
      }
    } catch (const awq_StoreError& e) {
      FailAt(from, ValueLabel(c, m) + ": " + e.what());
    }
  }

  void NullValue(const ClassState& c, uint32_t m, size_t from) const {
    // A new object's strings and references are null already.
    if (!c.members[m].nullable) {
      FailAt(from, ValueLabel(c, m) + ": null given for a member that is not nullable");
    }
  }

  void ResolvePending() {
    for (const PendingRef& p : pending_) {
      const ObjectId* target = ids_.Find(ids_.View(p.target));
      const ClassState& c = classes_[p.source.cls];
      if (target == nullptr) {
        obj_ordinal_ = p.source.obj + 1;
        obj_has_id_ = ids_.FindIdOf(p.source, obj_id_);
        Fail(p.offset, ValueLabel(c, p.member) + ": unknown object id " +
                           Quote(ids_.View(p.target)));
      }
      try {
        writer_.SetRef(p.source, p.member, *target);
      } catch (const awq_StoreError& e) {
        Fail(p.offset, ValueLabel(c, p.member) + ": " + e.what());
      }
    }
  }

  std::string_view text_;
  RepositoryWriter& writer_;
  const bool fast_;
  const Cursor* cursor_ = nullptr;
  size_t mark_ = 0;        // end of the previous event's token
  size_t token_from_ = 0;  // where the scan for this event's token starts
  size_t skip_ = 0;        // depth inside a value being skipped
  std::vector<Frame> frames_;
  size_t top_offset_ = 0;

  std::vector<ClassState> classes_;
  std::unordered_set<std::string> class_names_;
  std::unordered_set<int32_t> class_numbers_;
  bool any_class_ = false;
  int32_t max_class_number_ = 0;

  MemberDef member_;
  bool member_has_name_ = false;
  size_t member_offset_ = 0;

  // The object being read, and what messages say about it.
  ObjectId object_;
  size_t object_from_ = 0;  // the scan start of its '{'; see TokenStartFrom
  uint32_t next_guess_ = 0;  // members usually come in definition order
  uint32_t obj_ordinal_ = 0;
  bool obj_has_id_ = false;
  std::string_view obj_id_;
  std::string obj_id_text_;
  std::string key_text_;  // a key being looked up in a map by std::string

  uint64_t serial_ = 0;                    // counts objects
  std::vector<uint64_t> stamps_;           // per member: serial_ of the last object giving it
  std::vector<uint64_t> buffered_stamps_;  // the same per buffered name
  std::vector<uint8_t> blob_;
  IdTable ids_;
  std::vector<PendingRef> pending_;
};

}  // namespace

std::unique_ptr<RepositoryWriter> BuildFromJson(std::string_view text) {
  {
    auto writer = std::make_unique<RepositoryWriter>();
    try {
      Reader(text, *writer, true).Run();
      return writer;
    } catch (const RestartCarefully&) {
    }
  }
  auto writer = std::make_unique<RepositoryWriter>();
  Reader(text, *writer, false).Run();
  return writer;
}

void BuildFromJson(std::string_view text, RepositoryWriter& writer) {
  Reader(text, writer, false).Run();
}

}  // namespace wqsource
