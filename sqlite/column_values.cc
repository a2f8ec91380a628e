// Member values as SQLite values.
#include "sqlite/column_values.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "sqlite/vtab_errors.h"

#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the column reads assume a little-endian host, the file's byte order"
#endif

namespace wqsqlite {

using wqstore::DataType;

const char* DeclaredType(DataType type) {
  switch (type) {
    case DataType::kInt: return "INTEGER";
    case DataType::kDouble: return "REAL";
    case DataType::kString:
    case DataType::kChar:
    case DataType::kReference: return "TEXT";
    case DataType::kBlob: return "BLOB";
    case DataType::kNoValue: break;
  }
  return "";
}

size_t FormatId(const wqstore::ObjectId& id, char* out) {
  char* end = out + kIdChars;
  char* p = std::to_chars(out, end, id.class_number).ptr;
  *p++ = ':';
  return static_cast<size_t>(std::to_chars(p, end, id.position).ptr - out);
}

Column::Column(const wqstore::ClassDef& cls, const wqstore::Member& member)
    : member_(member), type_(member.type()) {
  wqstore::ColumnView view;
  if (cls.GetColumn(member, &view).ok()) {
    data_ = view.data;
    stride_ = view.stride;
  }
}

void Column::Put(sqlite3_context* context, const wqstore::Object& object,
                 const wqstore::Repository& repo) const {
  const unsigned char* field =
      data_ != nullptr ? data_ + stride_ * static_cast<size_t>(object.position()) : nullptr;
  switch (type_) {
    case DataType::kInt: {
      int32_t v;
      std::memcpy(&v, field, sizeof v);
      sqlite3_result_int(context, v);
      return;
    }
    case DataType::kDouble: {
      double v;
      std::memcpy(&v, field, sizeof v);
      if (std::isnan(v)) {
        sqlite3_result_null(context);
      } else {
        sqlite3_result_double(context, v);
      }
      return;
    }
    case DataType::kChar: {
      const unsigned char c = *field;
      if (c == 0) {
        sqlite3_result_null(context);
      } else if (c < 0x80) {
        sqlite3_result_text(context, reinterpret_cast<const char*>(field), 1, SQLITE_TRANSIENT);
      } else {  // U+0080 to U+00FF in UTF-8
        const char utf8[2] = {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
        sqlite3_result_text(context, utf8, 2, SQLITE_TRANSIENT);
      }
      return;
    }
    case DataType::kString: {
      std::optional<std::string_view> s;
      const wqstore::Result r = object.GetString(member_, &s);
      if (!r.ok()) return ResultError(context, repo, r);
      // The text lies in the mapped file, which lives as long as the table.
      if (s.has_value()) {
        sqlite3_result_text64(context, s->data(), s->size(), SQLITE_STATIC, SQLITE_UTF8);
      } else {
        sqlite3_result_null(context);
      }
      return;
    }
    case DataType::kBlob: {
      std::string_view bytes;
      const wqstore::Result r = object.GetBlob(member_, &bytes);
      if (!r.ok()) return ResultError(context, repo, r);
      if (bytes.empty()) {
        sqlite3_result_zeroblob(context, 0);
      } else {
        sqlite3_result_blob64(context, bytes.data(), bytes.size(), SQLITE_STATIC);
      }
      return;
    }
    case DataType::kReference: {
      std::optional<wqstore::ObjectId> target;
      const wqstore::Result r = object.GetReference(member_, &target);
      if (!r.ok()) return ResultError(context, repo, r);
      if (target.has_value()) {
        char id[kIdChars];
        sqlite3_result_text(context, id, static_cast<int>(FormatId(*target, id)), SQLITE_TRANSIENT);
      } else {
        sqlite3_result_null(context);
      }
      return;
    }
    case DataType::kNoValue: break;
  }
  sqlite3_result_null(context);
}

}  // namespace wqsqlite
