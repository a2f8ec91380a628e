// CSV files opened, their header matched to the members, and each field
// turned into the Scalar a JSON value of the same text would be, so that it
// converts by the member's type as JSON values do. An empty field stands
// for null (a string or reference), code 0 (a character), the empty blob,
// or no value (a member whose type takes none); "" is the empty string.
#include "tools/make/csv_objects.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/text.h"
#include "platform/utf8.h"
#include "store/scan.h"
#include "tools/common/id_column.h"
#include "tools/make/csv_records.h"

namespace wqsource {

namespace {

using wqstore::ValueKind;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A JSON number literal as the JSON parser gives it: an integer as kInt
// (negative) or kUnsigned, or as kBigInt beyond 64 bits, otherwise kFloat; a
// number beyond the range of a double, or one that rounds to zero, as an
// infinite kFloat, which the conversions refuse as out of range. False for
// text that is not a JSON number.
bool JsonNumber(std::string_view t, Scalar* v) {
  size_t i = 0;
  const size_t n = t.size();
  const bool negative = n > 0 && t[0] == '-';
  if (negative) ++i;
  if (i >= n || !IsDigit(t[i])) return false;
  if (t[i] == '0') {
    ++i;
  } else {
    while (i < n && IsDigit(t[i])) ++i;
  }
  bool integer = true;
  if (i < n && t[i] == '.') {
    integer = false;
    if (++i >= n || !IsDigit(t[i])) return false;
    while (i < n && IsDigit(t[i])) ++i;
  }
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    integer = false;
    if (++i < n && (t[i] == '+' || t[i] == '-')) ++i;
    if (i >= n || !IsDigit(t[i])) return false;
    while (i < n && IsDigit(t[i])) ++i;
  }
  if (i != n) return false;
  if (integer) {
    uint64_t magnitude = 0;
    bool fits = true;
    for (size_t k = negative ? 1 : 0; k < n && fits; ++k) {
      const uint64_t digit = static_cast<uint64_t>(t[k] - '0');
      fits = magnitude <= (UINT64_MAX - digit) / 10;
      magnitude = magnitude * 10 + digit;
    }
    if (fits && !negative) {
      v->kind = Scalar::kUnsigned;
      v->u = magnitude;
      return true;
    }
    if (fits && magnitude <= uint64_t{1} << 63) {
      v->kind = Scalar::kInt;
      v->i = static_cast<int64_t>(0 - magnitude);
      return true;
    }
  }
  v->kind = integer ? Scalar::kBigInt : Scalar::kFloat;
  const auto parsed = std::from_chars(t.data(), t.data() + n, v->d);
  if (parsed.ec == std::errc::result_out_of_range) {
    // Beyond a double, or below its smallest: the parser's rule decides.
    const std::string literal(t);
    v->d = std::strtod(literal.c_str(), nullptr);
    if (v->d == 0 && IsNonZeroLiteral(t)) v->d = HUGE_VAL;
  }
  if (std::isinf(v->d)) v->kind = Scalar::kFloat;
  return true;
}

// The Scalar of field `f` for a member of kind `kind`. False when the
// member takes nothing from it: an empty field of a member that takes no
// value.
bool FieldScalar(const CsvField& f, ValueKind kind, Scalar* v) {
  *v = Scalar();
  if (f.text.empty() && !f.quoted) {
    switch (kind) {
      case ValueKind::kNone: return false;
      case ValueKind::kChar: v->kind = Scalar::kUnsigned; return true;
      case ValueKind::kBlob: v->kind = Scalar::kString; return true;
      default: return true;  // null
    }
  }
  if ((kind == ValueKind::kInt || kind == ValueKind::kDouble) && JsonNumber(f.text, v)) return true;
  v->kind = Scalar::kString;
  v->s = f.text;
  return true;
}

// A column of the CSV file: the member it gives, or the id.
constexpr int64_t kIdColumn = -1;

}  // namespace

Status CsvFiles::Open(std::string_view path, const SourceText** csv) {
  std::string full(path);
  if (!folder_.empty() && (path.empty() || path[0] != '/')) full = folder_ + "/" + full;
  files_.emplace_back();
  struct stat info;
  WQ_RETURN_IF_ERROR(files_.back().Open(full, &info));
  names_.push_back(ShownPath(full));
  texts_.emplace_back(files_.back().text(), names_.back());
  const SourceText& text = texts_.back();
  *csv = &text;
  const std::string_view t = text.text();
  const size_t bad = FindInvalidUtf8(reinterpret_cast<const unsigned char*>(t.data()), t.size());
  if (bad < t.size()) {
    return text.FaultAt(bad, t[bad] == '\0' ? "NUL byte in the CSV file"
                                            : "byte that is not UTF-8 in the CSV file");
  }
  return Status::OK();
}

Status ReadCsvObjects(const SourceText& csv, ClassState& c, uint32_t cls,
                      const std::unordered_map<std::string, uint32_t>& member_by_name,
                      ObjectBuilder& builder) {
  CsvRecords records(csv);
  if (records.AtEnd()) return Status::OK();
  std::vector<CsvField> fields;
  WQ_RETURN_IF_ERROR(records.Next(&fields));
  const std::string id_name = wqtools::IdColumnName(
      c.members.size(), [&c](size_t i) { return std::string_view(c.members[i].name); });
  // Per column its member or kIdColumn.
  std::vector<int64_t> columns;
  std::vector<bool> given(c.members.size(), false);
  bool has_id = false;
  std::string name;
  for (const CsvField& f : fields) {
    name.assign(f.text);
    auto it = member_by_name.find(name);
    int64_t column;
    if (it != member_by_name.end()) {
      column = it->second;
    } else if (name == id_name) {
      column = kIdColumn;
    } else {
      return csv.FaultAt(f.offset, ClassLabel(c) + ": unknown member " + Quote(f.text));
    }
    const bool twice = column == kIdColumn ? has_id : given[static_cast<size_t>(column)];
    if (twice) return csv.FaultAt(f.offset, ClassLabel(c) + ": duplicate column " + Quote(f.text));
    if (column == kIdColumn) {
      has_id = true;
    } else {
      given[static_cast<size_t>(column)] = true;
    }
    columns.push_back(column);
  }

  std::vector<ValueKind> kinds;
  for (const MemberDef& m : c.members) kinds.push_back(wqstore::KindOf(m.type));
  ObjectName object_name;
  object_name.ordinal = c.object_count;
  while (!records.AtEnd()) {
    const size_t at = records.position();
    WQ_RETURN_IF_ERROR(records.Next(&fields));
    object_name.ordinal = ++c.object_count;
    object_name.has_id = false;
    if (fields.size() != columns.size()) {
      return csv.FaultAt(at, ClassLabel(c) + ", " + ObjectLabel(object_name) + ": " +
                                 Num(uint64_t{fields.size()}) + " fields where the header has " +
                                 Num(uint64_t{columns.size()}));
    }
    wqstore::ObjectRef o;
    WQ_RETURN_IF_ERROR(builder.AddObject(c, cls, object_name, at, &o));
    for (size_t k = 0; k < columns.size(); ++k) {
      // The id first, so that faults of the values name the object by it.
      const CsvField& f = fields[k];
      if (columns[k] != kIdColumn || f.text.empty()) continue;
      object_name.id.assign(f.text);
      WQ_RETURN_IF_ERROR(builder.MapId(c, object_name, f.text, o, f.offset));
      object_name.has_id = true;
    }
    for (size_t k = 0; k < columns.size(); ++k) {
      if (columns[k] == kIdColumn) continue;
      const uint32_t m = static_cast<uint32_t>(columns[k]);
      Scalar v;
      if (!FieldScalar(fields[k], kinds[m], &v)) continue;
      builder.Give(m);
      WQ_RETURN_IF_ERROR(builder.SetValue(c, object_name, o, m, v, fields[k].offset));
    }
    WQ_RETURN_IF_ERROR(builder.CheckRequired(c, object_name, at));
  }
  return Status::OK();
}

}  // namespace wqsource
