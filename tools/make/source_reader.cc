// The SAX handler of the source reader: follows where each event is in the
// source (top level, a class, a member, an object, its values), finds the
// offset of each event's token, and hands keys and values to the class
// definitions, the object builder or the buffer of early objects. The first
// fault stops the parser and is kept as the pass's status.
//
// A class's objects go straight into the writer when the class's name and
// members come before its objects. Otherwise (or, in the careful mode, when
// its number or object size is not known yet either) the objects are
// buffered until the class ends. References are set at once when their
// target is known and kept as pending otherwise, to be resolved when the
// whole source has been read.
//
// The elements of an "objects" array whose class is in the writer are read
// in windows (ObjectWindows) rather than through the events: the parser is
// then moved on to the array's ']', or to an element too long for a window.
// A fault after that is only found, not placed: the pass ends asking for
// one with the events alone, which gives the message.
#include "tools/make/source_reader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/make/buffered_objects.h"
#include "tools/make/class_definitions.h"
#include "tools/make/class_model.h"
#include "tools/make/csv_objects.h"
#include "tools/make/json_events.h"
#include "tools/make/json_scalar.h"
#include "tools/make/object_builder.h"
#include "tools/make/object_windows.h"
#include "tools/make/source_progress.h"

namespace wqsource {

namespace {

using wqstore::ObjectRef;

enum class Ctx : uint8_t {
  kRoot,
  kTop,
  kClasses,
  kClass,
  kMembers,
  kMember,
  kObjects,
  kObject,
  kValues
};

// Keys of the top level and of an object, by index, as ClassKey and
// MemberKey are for classes and members.
enum TopKey { kTopClasses };
enum ObjectKey { kObjectId, kObjectValues };
constexpr std::string_view kTopKeys[] = {"classes", {}};
constexpr std::string_view kObjectKeys[] = {"id", "values", {}};

struct Frame {
  Ctx ctx;
  uint32_t seen = 0;    // the keys given, by their index
  int field = -1;       // the key whose value comes next; in "values" a member or name index
  size_t key_from = 0;  // where the scan for the current key's token starts
};

class SourceReader : public ScalarEvents<SourceReader> {
 public:
  SourceReader(const SourceText& source, wqstore::RepositoryWriter& writer, ReadMode mode,
               ObjectParser parser, const std::string* csv_folder)
      : source_(source),
        csv_allowed_(csv_folder != nullptr),
        csv_files_(csv_folder != nullptr ? *csv_folder : std::string()),
        text_(source.text()),
        fast_(mode == ReadMode::kFast),
        use_windows_(parser == ObjectParser::kWindows),
        windows_(source.text()),
        definitions_(source, writer),
        builder_(source, writer) {}

  Status Run(PassEnd* end) {
    Cursor cursor{text_.data(), text_.data() + text_.size()};
    cursor_ = &cursor;
    frames_.reserve(16);
    frames_.push_back(Frame{Ctx::kRoot});
    bool parsed = ParseJson(cursor, this, true);
    // The parser takes a NUL byte for the end of the text: a source that is
    // complete before one has its last character read as that NUL.
    if (parsed && cursor.pos != text_.data() && cursor.pos[-1] == '\0') {
      parsed = Check(NulFault(static_cast<size_t>(cursor.pos - 1 - text_.data())));
    }
    *end = needs_careful_pass_ ? PassEnd::kNeedsCarefulPass : PassEnd::kDone;
    if (!parsed && windows_used_) *end = PassEnd::kNeedsEventPass;
    if (!parsed || needs_careful_pass_) return fault_;
    return builder_.ResolvePending(definitions_.classes());
  }

 private:
  friend class ScalarEvents<SourceReader>;

  // --- Events ----------------------------------------------------------------

  bool OnValue(const Scalar& v, bool number) {
    Begin(number);
    if (skip_ > 0) {
      if (v.kind == Scalar::kArray || v.kind == Scalar::kObject) ++skip_;
      return true;
    }
    return Check(Value(v));
  }
  bool OnEnd() {
    SourceReached(static_cast<size_t>(cursor_->pos - text_.data()));
    Begin(false);
    if (skip_ > 0) {
      --skip_;
      return true;
    }
    return Check(End());
  }
  bool OnKey(std::string_view k) {
    Begin(false);
    return skip_ > 0 || (Check(Key(k)) && !needs_careful_pass_);
  }
  bool OnNumberOutOfRange() {
    Begin(true);
    return Check(NumberOutOfRange());
  }
  bool OnParseError(std::size_t position, const std::string& last_token,
                    const Json::exception& error) {
    if (error.id == 406) {
      // A number beyond the range of a double; it starts after the last event.
      token_from_ = mark_;
      return Check(NumberOutOfRange());
    }
    const size_t offset = position > 0 ? position - 1 : 0;
    // A NUL byte ends the parser's input wherever it comes, or breaks the
    // token it is in; either way the fault is the NUL itself.
    if (offset < text_.size() && text_[offset] == '\0') return Check(NulFault(offset));
    return Check(source_.FaultAt(offset, DescribeParseError(error.what(), last_token)));
  }

  // Keeps a fault for Run and stops the parser.
  bool Check(Status status) {
    if (status.ok()) return true;
    fault_ = std::move(status);
    return false;
  }

  // --- Positions -------------------------------------------------------------

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

  // The offset of this event's token.
  size_t TokenStart() const { return source_.TokenStart(token_from_); }

  // --- Dispatch --------------------------------------------------------------

  ClassState& Cur() { return definitions_.current(); }
  const ClassState& Cur() const { return definitions_.current(); }

  // The faults are made out of line, away from the paths that every event
  // takes.

  // A fault at the current key of `f`: `what` and the key.
  [[gnu::cold]] [[gnu::noinline]] Status KeyFault(const Frame& f, const char* what,
                                                  std::string_view k) const {
    return source_.FaultAtToken(f.key_from, Where(f.ctx) + what + Quote(k));
  }
  // A fault at this event's value in context `ctx`: `what` and the kind of
  // the value.
  [[gnu::cold]] [[gnu::noinline]] Status KindFault(Ctx ctx, const char* what,
                                                   const Scalar& v) const {
    return source_.FaultAt(TokenStart(), Where(ctx) + what + KindName(v.kind));
  }

  // A number beyond the range of a double, or one that rounded to zero, at
  // this event's token.
  [[gnu::cold]] [[gnu::noinline]] Status NumberOutOfRange() const {
    return source_.FaultAt(TokenStart(), "number out of range");
  }
  [[gnu::cold]] [[gnu::noinline]] Status NulFault(size_t offset) const {
    return source_.FaultAt(offset, "NUL byte in the source");
  }

  // The prefix of a message about a key or value in context `ctx`.
  std::string Where(Ctx ctx) const {
    switch (ctx) {
      case Ctx::kTop: return "top level: ";
      case Ctx::kClass: return ClassLabel(Cur()) + ": ";
      case Ctx::kMember: return ClassLabel(Cur()) + ", " + definitions_.MemberLabel() + ": ";
      case Ctx::kObject:
      case Ctx::kValues: return ClassLabel(Cur()) + ", " + ObjectLabel(object_name_) + ": ";
      default: return "";
    }
  }

  Status Key(std::string_view k) {
    Frame& f = frames_.back();
    f.key_from = token_from_;
    const std::string_view* keys = nullptr;
    switch (f.ctx) {
      case Ctx::kTop: keys = kTopKeys; break;
      case Ctx::kClass: keys = kClassKeys; break;
      case Ctx::kMember: keys = kMemberKeys; break;
      case Ctx::kObject: keys = kObjectKeys; break;
      case Ctx::kValues: return ValuesKey(f, k);
      default: return Status::OK();  // the parser gives keys in objects only
    }
    int field = -1;
    for (int i = 0; !keys[i].empty(); ++i) {
      if (k == keys[i]) {
        field = i;
        break;
      }
    }
    if (field < 0) return KeyFault(f, "unknown key ", k);
    if (f.seen & (1u << field)) return KeyFault(f, "duplicate key ", k);
    f.seen |= 1u << field;
    f.field = field;
    if (f.ctx == Ctx::kClass && Cur().flushed &&
        (field == kClassNumber || field == kClassObjectSize)) {
      // The objects in the writer were added under a defaulted number or
      // object size: read the whole source again in the careful mode.
      needs_careful_pass_ = true;
    }
    return Status::OK();
  }

  Status Value(const Scalar& v) {
    Frame& f = frames_.back();
    switch (f.ctx) {
      case Ctx::kRoot:
        if (v.kind != Scalar::kObject) {
          return KindFault(Ctx::kRoot,
                           "the source must be a JSON object with the key "
                           "\"classes\", not ",
                           v);
        }
        top_offset_ = TokenStart();
        frames_.push_back(Frame{Ctx::kTop});
        return Status::OK();
      case Ctx::kTop:
        if (v.kind != Scalar::kArray) {
          return KindFault(Ctx::kTop, "\"classes\" must be an array, not ", v);
        }
        frames_.push_back(Frame{Ctx::kClasses});
        return Status::OK();
      case Ctx::kClasses:
        if (v.kind != Scalar::kObject) {
          return KindFault(Ctx::kClasses, "each class must be a JSON object, not ", v);
        }
        definitions_.BeginClass(TokenStart());
        csv_offset_ = kNoCsv;
        frames_.push_back(Frame{Ctx::kClass});
        return Status::OK();
      case Ctx::kClass: return ClassValue(f, v);
      case Ctx::kMembers:
        if (v.kind != Scalar::kObject) {
          return KindFault(Ctx::kClass, "each member must be a JSON object, not ", v);
        }
        definitions_.BeginMember(TokenStart());
        frames_.push_back(Frame{Ctx::kMember});
        return Status::OK();
      case Ctx::kMember:
        return definitions_.MemberField(static_cast<MemberKey>(f.field), v, TokenStart());
      case Ctx::kObjects:
        if (v.kind != Scalar::kObject) {
          return KindFault(Ctx::kClass, "each object must be a JSON object, not ", v);
        }
        frames_.push_back(Frame{Ctx::kObject});
        return BeginObject();
      case Ctx::kObject: return ObjectValue(f, v);
      case Ctx::kValues: return MemberValue(f, v);
    }
    return Status::OK();
  }

  Status End() {
    const Ctx ctx = frames_.back().ctx;
    const uint32_t seen = frames_.back().seen;
    frames_.pop_back();
    switch (ctx) {
      case Ctx::kTop:
        if (!(seen & (1u << kTopClasses))) {
          return source_.FaultAt(top_offset_, "top level: missing key \"classes\"");
        }
        return Status::OK();
      case Ctx::kClass: return EndClass();
      case Ctx::kMember: return definitions_.EndMember(seen);
      case Ctx::kObject:
        // A buffered object is checked when it is written.
        if (Cur().buffering) return Status::OK();
        return builder_.CheckRequired(Cur(), object_name_, object_from_);
      default: return Status::OK();
    }
  }

  // --- Classes ---------------------------------------------------------------

  Status ClassValue(Frame& f, const Scalar& v) {
    ClassState& c = Cur();
    switch (f.field) {
      case kClassMembers:
        if (v.kind != Scalar::kArray) {
          return KindFault(Ctx::kClass, "\"members\" must be an array, not ", v);
        }
        c.has_members = true;
        frames_.push_back(Frame{Ctx::kMembers});
        return Status::OK();
      case kClassObjects:
        if (v.kind != Scalar::kArray) {
          return KindFault(Ctx::kClass, "\"objects\" must be an array, not ", v);
        }
        frames_.push_back(Frame{Ctx::kObjects});
        // Straight into the writer when nothing the writer needs first can
        // still come; otherwise keep the objects until the class ends.
        if (c.has_name && c.has_members && (fast_ || (c.has_number && c.has_object_size))) {
          WQ_RETURN_IF_ERROR(Flush());
          return use_windows_ ? ReadObjectWindows() : Status::OK();
        }
        c.buffering = true;
        return Status::OK();
      case kClassCsv:
        if (v.kind != Scalar::kString) {
          return KindFault(Ctx::kClass, "\"csv\" must be a string, not ", v);
        }
        if (!csv_allowed_) {
          return source_.FaultAt(TokenStart(), ClassLabel(c) + ": CSV files are not read here");
        }
        csv_path_.assign(v.s);
        csv_offset_ = TokenStart();
        return Status::OK();
      default: return definitions_.ClassField(static_cast<ClassKey>(f.field), v, TokenStart());
    }
  }

  // The objects of the current class from the CSV file it names, after
  // those of its "objects".
  Status ReadCsv() {
    ClassState& c = Cur();
    const SourceText* csv = nullptr;
    const Status opened = csv_files_.Open(csv_path_, &csv);
    if (!opened.ok()) {
      // A fault inside the file is placed there; one opening it at "csv".
      if (csv != nullptr) return opened;
      return source_.FaultAt(csv_offset_, ClassLabel(c) + ": " + opened.message());
    }
    builder_.UseCsv(csv);
    const Status read = ReadCsvObjects(*csv, c, definitions_.current_index(),
                                       definitions_.member_by_name(), builder_);
    builder_.UseCsv(nullptr);
    return read;
  }

  Status Flush() {
    WQ_RETURN_IF_ERROR(definitions_.Flush());
    builder_.StartClass(Cur());
    return Status::OK();
  }

  Status EndClass() {
    ClassState& c = Cur();
    if (!c.has_name) return source_.FaultAt(c.offset, ClassLabel(c) + ": missing key \"name\"");
    if (!c.flushed) {
      WQ_RETURN_IF_ERROR(Flush());
      WQ_RETURN_IF_ERROR(buffer_.Replay(c, definitions_.member_by_name(),
                                        definitions_.current_index(), source_, builder_));
    }
    if (csv_offset_ != kNoCsv) WQ_RETURN_IF_ERROR(ReadCsv());
    buffer_.Clear();
    return definitions_.EndClass();
  }

  // --- Objects ---------------------------------------------------------------

  Status BeginObject() {
    ClassState& c = Cur();
    object_name_.ordinal = ++c.object_count;
    object_name_.has_id = false;
    if (c.buffering) {
      buffer_.BeginObject(TokenStart());
      return Status::OK();
    }
    object_from_ = token_from_;
    next_guess_ = 0;
    return builder_.AddObject(c, definitions_.current_index(), object_name_, token_from_, &object_);
  }

  // --- Objects in windows ------------------------------------------------------

  // Where a window cannot go on; the pass with the events finds the fault.
  [[gnu::cold]] [[gnu::noinline]] static Status WindowFault() {
    return Status::Error("fault in a window of objects");
  }

  size_t SkipBlanks(size_t p) const {
    while (p < text_.size() &&
           (text_[p] == ' ' || text_[p] == '\t' || text_[p] == '\n' || text_[p] == '\r')) {
      ++p;
    }
    return p;
  }

  // Reads the elements of the "objects" array whose '[' the parser has just
  // read, in windows, and moves the parser on to its ']', or to the first
  // element that no window holds.
  Status ReadObjectWindows() {
    windows_used_ = true;
    // The member names a key's text can be compared with as it is: those
    // without a quote or backslash, which a key would hold escaped.
    const ClassState& c = Cur();
    plain_names_.resize(c.members.size());
    for (size_t m = 0; m < c.members.size(); ++m) {
      plain_names_[m] = c.members[m].name.find_first_of("\"\\") == std::string::npos;
    }
    const char* t = text_.data();
    const size_t n = text_.size();
    size_t p = SkipBlanks(static_cast<size_t>(cursor_->pos - t));
    for (bool first = true; p < n && t[p] != ']'; first = false) {
      if (!first) {
        if (t[p] != ',') break;  // the parser finds the fault
        p = SkipBlanks(p + 1);
        if (p >= n || t[p] != '{') return WindowFault();
      } else if (t[p] != '{') {
        break;  // the parser reads what is not an object
      }
      size_t end;
      if (!windows_.Cut(p, &end)) break;
      simdjson::ondemand::document doc;
      if (!windows_.Parse(p, end, &doc)) return WindowFault();
      size_t closed = 0;
      WQ_RETURN_IF_ERROR(ReadWindow(doc, &closed));
      p = closed != 0 ? closed : SkipBlanks(end);
      SourceReached(p);
    }
    cursor_->pos = t + p;
    mark_ = p;
    return Status::OK();
  }

  // The elements of one window. When the array ends inside the window (which
  // may reach past it), sets *closed to the offset of its ']'.
  Status ReadWindow(simdjson::ondemand::document& doc, size_t* closed) {
    simdjson::ondemand::array elements;
    if (doc.get_array().get(elements) != simdjson::SUCCESS) return WindowFault();
    for (auto element : elements) {
      simdjson::ondemand::value value;
      simdjson::ondemand::object object;
      if (element.get(value) != simdjson::SUCCESS) return WindowFault();
      const size_t brace = windows_.OffsetOf(value.raw_json_token().data());
      if (value.get_object().get(object) != simdjson::SUCCESS) return WindowFault();
      WQ_RETURN_IF_ERROR(ReadWindowObject(object, brace));
    }
    const char* rest;
    if (doc.current_location().get(rest) == simdjson::SUCCESS) {
      size_t q = windows_.OffsetOf(rest);
      while (q > 0 && text_[q - 1] != ']') --q;
      if (q == 0) return WindowFault();
      *closed = q - 1;
    }
    return Status::OK();
  }

  // One element of a window, whose '{' is at `brace`, as BeginObject,
  // ObjectValue, ValuesKey, MemberValue and End read it from the events.
  Status ReadWindowObject(simdjson::ondemand::object& object, size_t brace) {
    ClassState& c = Cur();
    object_name_.ordinal = ++c.object_count;
    object_name_.has_id = false;
    object_from_ = brace;
    next_guess_ = 0;
    WQ_RETURN_IF_ERROR(
        builder_.AddObject(c, definitions_.current_index(), object_name_, brace, &object_));
    uint32_t seen = 0;
    for (auto item : object) {
      simdjson::ondemand::field field;
      simdjson::ondemand::value value;
      if (std::move(item).get(field) != simdjson::SUCCESS) return WindowFault();
      // Keys compared as they are in the text, and unescaped only when they
      // hold an escape.
      const simdjson::ondemand::raw_json_string raw = field.key();
      int k = raw.unsafe_is_equal(kObjectKeys[kObjectValues]) ? kObjectValues
              : raw.unsafe_is_equal(kObjectKeys[kObjectId])   ? kObjectId
                                                              : -1;
      if (k < 0) {
        std::string_view key;
        if (field.unescaped_key().get(key) != simdjson::SUCCESS) return WindowFault();
        k = key == kObjectKeys[kObjectId]       ? kObjectId
            : key == kObjectKeys[kObjectValues] ? kObjectValues
                                                : -1;
      }
      if (k < 0 || (seen & (1u << k)) != 0) return WindowFault();
      seen |= 1u << k;
      value = field.value();
      if (k == kObjectId) {
        Scalar v;
        size_t at;
        if (!WindowScalar(value, windows_, &v, &at) || v.kind != Scalar::kString) {
          return WindowFault();
        }
        object_name_.id.assign(v.s);
        WQ_RETURN_IF_ERROR(builder_.MapId(c, object_name_, v.s, object_, at));
        object_name_.has_id = true;
        continue;
      }
      simdjson::ondemand::object values;
      if (value.get_object().get(values) != simdjson::SUCCESS) return WindowFault();
      for (auto entry : values) {
        simdjson::ondemand::field member;
        if (std::move(entry).get(member) != simdjson::SUCCESS) return WindowFault();
        uint32_t m = next_guess_;
        if (m < c.members.size() && plain_names_[m] &&
            member.key().unsafe_is_equal(c.members[m].name)) {
          next_guess_ = m + 1;
        } else {
          std::string_view name;
          if (member.unescaped_key().get(name) != simdjson::SUCCESS) return WindowFault();
          if (!FindMember(c, name, &m)) return WindowFault();
        }
        if (!builder_.Give(m)) return WindowFault();
        Scalar v;
        size_t at;
        if (!WindowScalar(member.value(), windows_, &v, &at)) return WindowFault();
        WQ_RETURN_IF_ERROR(builder_.SetValue(c, object_name_, object_, m, v, at));
      }
    }
    return builder_.CheckRequired(c, object_name_, brace);
  }

  // The index of the member named `k`; members usually come in the order of
  // their definitions.
  bool FindMember(const ClassState& c, std::string_view k, uint32_t* m) {
    if (next_guess_ < c.members.size() && c.members[next_guess_].name == k) {
      *m = next_guess_;
    } else {
      key_text_.assign(k);
      auto it = definitions_.member_by_name().find(key_text_);
      if (it == definitions_.member_by_name().end()) return false;
      *m = it->second;
    }
    next_guess_ = *m + 1;
    return true;
  }

  Status ObjectValue(Frame& f, const Scalar& v) {
    ClassState& c = Cur();
    if (f.field == kObjectId) {
      if (v.kind != Scalar::kString) {
        return KindFault(Ctx::kObject, "\"id\" must be a string, not ", v);
      }
      object_name_.id.assign(v.s);
      if (c.buffering) {
        buffer_.SetIdOffset(TokenStart());
      } else {
        WQ_RETURN_IF_ERROR(builder_.MapId(c, object_name_, v.s, object_, token_from_));
      }
      object_name_.has_id = true;
      return Status::OK();
    }
    if (v.kind != Scalar::kObject) {
      return KindFault(Ctx::kObject, "\"values\" must be a JSON object, not ", v);
    }
    frames_.push_back(Frame{Ctx::kValues});
    return Status::OK();
  }

  Status ValuesKey(Frame& f, std::string_view k) {
    ClassState& c = Cur();
    if (c.buffering) {
      uint32_t name;
      if (!buffer_.Key(k, &name)) return KeyFault(f, "duplicate key ", k);
      f.field = static_cast<int>(name);
      return Status::OK();
    }
    uint32_t m;
    if (!FindMember(c, k, &m)) return KeyFault(f, "unknown member ", k);
    if (!builder_.Give(m)) return KeyFault(f, "duplicate key ", k);
    f.field = static_cast<int>(m);
    return Status::OK();
  }

  Status MemberValue(Frame& f, const Scalar& v) {
    ClassState& c = Cur();
    if (!c.buffering) {
      return builder_.SetValue(c, object_name_, object_, static_cast<uint32_t>(f.field), v,
                               token_from_);
    }
    buffer_.AddValue(TokenStart(), source_.TokenStart(f.key_from), static_cast<uint32_t>(f.field));
    // An array or object is refused when the class ends; skip its insides.
    if (v.kind == Scalar::kArray || v.kind == Scalar::kObject) skip_ = 1;
    return Status::OK();
  }

  static constexpr size_t kNoCsv = SIZE_MAX;

  const SourceText& source_;
  const bool csv_allowed_;
  CsvFiles csv_files_;          // before the builder, whose ids point into them
  std::string csv_path_;        // the current class's "csv"
  size_t csv_offset_ = kNoCsv;  // its offset, or kNoCsv
  std::string_view text_;
  const bool fast_;
  const bool use_windows_;
  bool windows_used_ = false;
  ObjectWindows windows_;
  std::vector<bool> plain_names_;  // per member of the class read in windows
  Cursor* cursor_ = nullptr;
  size_t mark_ = 0;        // end of the previous event's token
  size_t token_from_ = 0;  // where the scan for this event's token starts
  size_t skip_ = 0;        // depth inside a value being skipped
  std::vector<Frame> frames_;
  size_t top_offset_ = 0;
  Status fault_;
  bool needs_careful_pass_ = false;

  ClassDefinitions definitions_;
  ObjectBuilder builder_;
  BufferedObjects buffer_;

  // The object being read.
  ObjectRef object_;
  ObjectName object_name_;
  size_t object_from_ = 0;   // the scan start of its '{'
  uint32_t next_guess_ = 0;  // the member whose key likely comes next
  std::string key_text_;     // a key being looked up in a map by std::string
};

}  // namespace

Status ReadSource(const SourceText& source, wqstore::RepositoryWriter& writer, ReadMode mode,
                  ObjectParser parser, const std::string* csv_folder, PassEnd* end) {
  return SourceReader(source, writer, mode, parser, csv_folder).Run(end);
}

}  // namespace wqsource
