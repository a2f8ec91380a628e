// Scalar: one JSON value as the parser's events deliver it, the words
// messages use for the kind of a value, and what a number's literal tells
// about its value.
#ifndef WQSQL_TOOLS_MAKE_JSON_SCALAR_H_
#define WQSQL_TOOLS_MAKE_JSON_SCALAR_H_

#include <cstdint>
#include <string_view>

namespace wqsource {

// Strings point into the parser's buffer and live for the event only;
// arrays and objects carry nothing, an event only says one starts.
struct Scalar {
  enum Kind : uint8_t { kNull, kBool, kInt, kUnsigned, kBigInt, kFloat, kString, kArray, kObject };
  Kind kind = kNull;
  bool b = false;
  int64_t i = 0;
  uint64_t u = 0;
  double d = 0;  // kFloat and kBigInt (an integer literal beyond 64 bits)
  std::string_view s;
};

// "null", "an integer", "a string"... for messages.
inline const char* KindName(Scalar::Kind k) {
  switch (k) {
    case Scalar::kNull: return "null";
    case Scalar::kBool: return "a boolean";
    case Scalar::kInt:
    case Scalar::kUnsigned:
    case Scalar::kBigInt: return "an integer";
    case Scalar::kFloat: return "a number with a fraction or exponent";
    case Scalar::kString: return "a string";
    case Scalar::kArray: return "an array";
    case Scalar::kObject: return "an object";
  }
  return "a value";
}

inline bool IsInteger(Scalar::Kind k) {
  return k == Scalar::kInt || k == Scalar::kUnsigned || k == Scalar::kBigInt;
}

// The kind of a number literal the parser gives as a double: an integer
// beyond 64 bits when the literal has no fraction or exponent.
inline Scalar::Kind FloatKind(std::string_view literal) {
  return literal.find_first_of(".eE") == std::string_view::npos ? Scalar::kBigInt : Scalar::kFloat;
}

// Whether a number literal names a value other than zero: a digit other than
// 0 before its exponent. A double of zero from such a literal is one that
// rounded to zero.
inline bool IsNonZeroLiteral(std::string_view literal) {
  for (char c : literal) {
    if (c == 'e' || c == 'E') break;
    if (c >= '1' && c <= '9') return true;
  }
  return false;
}

}  // namespace wqsource

#endif  // WQSQL_TOOLS_MAKE_JSON_SCALAR_H_
