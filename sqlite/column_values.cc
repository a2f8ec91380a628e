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

namespace {

// The UTF-8 text of each character code, U+0000 to U+00FF, NUL-terminated
// and made once, so that SQLite takes it without a copy.
struct CharTexts {
  char text[256][3];
  constexpr CharTexts() : text() {
    for (int c = 1; c < 256; c++) {
      if (c < 0x80) {
        text[c][0] = static_cast<char>(c);
      } else {
        text[c][0] = static_cast<char>(0xC0 | (c >> 6));
        text[c][1] = static_cast<char>(0x80 | (c & 0x3F));
      }
    }
  }
};
constexpr CharTexts kCharTexts;

// Text and blobs lie in the mapped file, which lives as long as the table,
// and SQLite takes them in place. Whatever needs a value ending in a NUL
// (the text functions, sqlite3_column_text) copies it unless it was handed
// over NUL-terminated and without a length. Strings in the file end with a
// NUL (the store checks that it is there before it hands one out), so they
// go without a length, and SQLite counts their bytes instead of copying
// them; in a damaged file with a NUL inside a string, the text ends at that
// NUL. Blobs have no NUL after them, and are copied only when asked for as
// text.

}  // namespace

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

void FormatId(const wqstore::ObjectId& id, char* out) {
  char* end = out + kIdChars;
  char* p = std::to_chars(out, end, id.class_number).ptr;
  *p++ = ':';
  *std::to_chars(p, end - 1, id.position).ptr = '\0';
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
      } else {
        sqlite3_result_text(context, kCharTexts.text[c], -1, SQLITE_STATIC);
      }
      return;
    }
    case DataType::kString: {
      std::optional<std::string_view> s;
      const wqstore::Result r = object.GetString(member_, &s);
      if (!r.ok()) return ResultError(context, repo, r);
      if (s.has_value()) {
        sqlite3_result_text(context, s->data(), -1, SQLITE_STATIC);
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
        FormatId(*target, id);
        sqlite3_result_text(context, id, -1, SQLITE_TRANSIENT);
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
