// The conversions of JSON values into what a source's fields and members
// hold, as pure functions with their range checks. Each returns OK and sets
// *out, or fails with the detail of the fault alone; the reader puts the
// position and the class, object and member in front. The conversions of
// member values run for every value of a source and are inline; their
// faults are made out of line.
#ifndef WQSQL_TOOLS_MAKE_VALUE_CONVERSION_H_
#define WQSQL_TOOLS_MAKE_VALUE_CONVERSION_H_

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "tools/make/json_scalar.h"

namespace wqsource {

// --- Text decoders ------------------------------------------------------------

// Decodes pairs of hexadecimal digits (either case) into `out`. On failure
// returns false and sets `bad` to the offset of the offending character, or
// to text.size() when the count of digits is odd.
bool DecodeHex(std::string_view text, std::vector<uint8_t>& out, size_t& bad);

// The code of a one-character UTF-8 string in U+0000 to U+00FF, or -1.
int DecodeLatin1Char(std::string_view utf8);

// --- Fields of class and member definitions -----------------------------------

// A 32-bit integer for the key `key` ("number", "objectSize").
Status ToInt32Field(const Scalar& v, const char* key, int32_t* out);
// A member's "type": a code 0 to 255 or a type name.
Status ToTypeCode(const Scalar& v, int* out);
// A member's "nullable".
Status ToNullableFlag(const Scalar& v, bool* out);

// --- Values of members, by the kind of the member's type ----------------------

// The faults of the conversions below.
namespace value_faults {
// "expected EXPECTED, not KIND"
Status Expected(const char* expected, Scalar::Kind kind);
Status NullNotAllowed();
Status StringWithNul();
Status IntOutOfRange();
Status DoubleOutOfRange();
Status CharNotLatin1();
Status CharCodeOutOfRange();
Status BadBlob(std::string_view text, size_t bad);
}  // namespace value_faults

// The value of an integer in the range of int32_t.
inline bool FitsInt32(const Scalar& v, int32_t* out) {
  if (v.kind == Scalar::kInt && v.i >= INT32_MIN && v.i <= INT32_MAX) {
    *out = static_cast<int32_t>(v.i);
    return true;
  }
  if (v.kind == Scalar::kUnsigned && v.u <= uint64_t{INT32_MAX}) {
    *out = static_cast<int32_t>(v.u);
    return true;
  }
  return false;
}

// The value of an integer in 0 to 255, or -1.
inline int ByteCode(const Scalar& v) {
  if (v.kind == Scalar::kInt && v.i >= 0 && v.i <= 255) return static_cast<int>(v.i);
  if (v.kind == Scalar::kUnsigned && v.u <= 255) return static_cast<int>(v.u);
  return -1;
}

// The value of a string or reference member: its text (a reference's the id
// of its target), or null.
struct TextOrNull {
  bool is_null = false;
  std::string_view text;
};

// A string or null; null fails for a member that is not nullable.
inline Status ToStringValue(const Scalar& v, bool nullable, TextOrNull* out) {
  if (v.kind == Scalar::kString) {
    if (v.s.find('\0') != std::string_view::npos) return value_faults::StringWithNul();
    *out = TextOrNull{false, v.s};
    return Status::OK();
  }
  if (v.kind != Scalar::kNull) return value_faults::Expected("a string or null", v.kind);
  if (!nullable) return value_faults::NullNotAllowed();
  *out = TextOrNull{true, {}};
  return Status::OK();
}

// An object id or null; null fails for a member that is not nullable.
inline Status ToReferenceValue(const Scalar& v, bool nullable, TextOrNull* out) {
  if (v.kind == Scalar::kString) {
    *out = TextOrNull{false, v.s};
    return Status::OK();
  }
  if (v.kind != Scalar::kNull) {
    return value_faults::Expected("an object id (a string) or null", v.kind);
  }
  if (!nullable) return value_faults::NullNotAllowed();
  *out = TextOrNull{true, {}};
  return Status::OK();
}

inline Status ToIntValue(const Scalar& v, int32_t* out) {
  if (!IsInteger(v.kind)) return value_faults::Expected("an integer", v.kind);
  if (!FitsInt32(v, out)) return value_faults::IntOutOfRange();
  return Status::OK();
}

// The doubles JSON numbers cannot write, by name: "NaN" (the quiet NaN with
// bits 0x7FF8000000000000), "Infinity" and "-Infinity", exactly so, case
// and all; and "NaN:" with 16 hexadecimal digits, the bits of any NaN (as
// "NaN:fff8000000000000"). False for any other text.
bool NonFiniteDouble(std::string_view name, double* out);

// A number, or one of the names NonFiniteDouble takes.
inline Status ToDoubleValue(const Scalar& v, double* out) {
  switch (v.kind) {
    case Scalar::kInt: *out = static_cast<double>(v.i); break;
    case Scalar::kUnsigned: *out = static_cast<double>(v.u); break;
    case Scalar::kFloat:
    case Scalar::kBigInt: *out = v.d; break;
    case Scalar::kString:
      if (NonFiniteDouble(v.s, out)) return Status::OK();
      [[fallthrough]];
    default: return value_faults::Expected("a number", v.kind);
  }
  if (!std::isfinite(*out)) return value_faults::DoubleOutOfRange();
  return Status::OK();
}

// A character code, or a one-character string in U+0000 to U+00FF.
inline Status ToCharValue(const Scalar& v, uint8_t* out) {
  int code;
  if (v.kind == Scalar::kString) {
    code = DecodeLatin1Char(v.s);
    if (code < 0) return value_faults::CharNotLatin1();
  } else if (IsInteger(v.kind)) {
    code = ByteCode(v);
    if (code < 0) return value_faults::CharCodeOutOfRange();
  } else {
    return value_faults::Expected("a character code or a one-character string", v.kind);
  }
  *out = static_cast<uint8_t>(code);
  return Status::OK();
}

// Pairs of hexadecimal digits; `out` keeps its capacity from call to call.
inline Status ToBlobValue(const Scalar& v, std::vector<uint8_t>* out) {
  if (v.kind != Scalar::kString) {
    return value_faults::Expected("a string of hexadecimal digit pairs", v.kind);
  }
  size_t bad = 0;
  if (!DecodeHex(v.s, *out, bad)) return value_faults::BadBlob(v.s, bad);
  return Status::OK();
}

// Always fails: a member whose type code is not one of the value types.
Status NoValueForType(int type);

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_VALUE_CONVERSION_H_
