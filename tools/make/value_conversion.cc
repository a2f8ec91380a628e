// Conversions of JSON values into field and member values, the faults of
// the inline ones, and the text decoders behind them.
#include "tools/make/value_conversion.h"

#include <cmath>
#include <cstring>
#include <string>

#include "platform/text.h"
#include "platform/utf8.h"
#include "store/scan.h"
#include "tools/common/text_encoding.h"

namespace wqsource {

namespace {

const char kIntRange[] = "(-2147483648 to 2147483647)";

}  // namespace

namespace value_faults {

Status Expected(const char* expected, Scalar::Kind kind) {
  return Status::Error(std::string("expected ") + expected + ", not " + KindName(kind));
}

Status NullNotAllowed() { return Status::Error("null given for a member that is not nullable"); }

Status StringWithNul() { return Status::Error("a string value cannot hold U+0000"); }

Status IntOutOfRange() { return Status::Error(std::string("integer out of range ") + kIntRange); }

Status DoubleOutOfRange() { return Status::Error("number out of range"); }

Status CharNotLatin1() {
  return Status::Error("expected a one-character string in U+0000 to U+00FF");
}

Status CharCodeOutOfRange() { return Status::Error("character code out of range (0 to 255)"); }

Status BadBlob(std::string_view text, size_t bad) {
  if (bad == text.size()) return Status::Error("blob has an odd number of hexadecimal digits");
  return Status::Error("blob character " + Num(uint64_t{bad + 1}) + " is not a hexadecimal digit");
}

}  // namespace value_faults

Status ToInt32Field(const Scalar& v, const char* key, int32_t* out) {
  if (!IsInteger(v.kind)) {
    return Status::Error(std::string("\"") + key + "\" must be an integer, not " +
                         KindName(v.kind));
  }
  if (!FitsInt32(v, out)) {
    return Status::Error(std::string("\"") + key + "\" out of range " + kIntRange);
  }
  return Status::OK();
}

Status ToTypeCode(const Scalar& v, int* out) {
  const int code = v.kind == Scalar::kString ? wqstore::DataTypeCodeOfName(v.s) : ByteCode(v);
  if (code < 0) {
    return Status::Error(
        "\"type\" must be a code 0 to 255 or one of \"string\", \"int\", "
        "\"double\", \"char\", \"blob\", \"ref\"");
  }
  *out = code;
  return Status::OK();
}

Status ToNullableFlag(const Scalar& v, bool* out) {
  if (v.kind != Scalar::kBool) {
    return Status::Error(std::string("\"nullable\" must be true or false, not ") +
                         KindName(v.kind));
  }
  *out = v.b;
  return Status::OK();
}

namespace {

// Per byte its value as a hexadecimal digit, or 0xff.
struct HexTable {
  uint8_t value[256];
  constexpr HexTable() : value() {
    for (int c = 0; c < 256; ++c) value[c] = 0xff;
    for (int c = '0'; c <= '9'; ++c) value[c] = static_cast<uint8_t>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c) value[c] = static_cast<uint8_t>(c - 'a' + 10);
    for (int c = 'A'; c <= 'F'; ++c) value[c] = static_cast<uint8_t>(c - 'A' + 10);
  }
};
constexpr HexTable kHexTable;

}  // namespace

bool NonFiniteDouble(std::string_view name, double* out) {
  if (name == "NaN") {
    std::memcpy(out, &wqtools::kSourceNaNBits, sizeof *out);
    return true;
  }
  if (name.size() == 20 && name.compare(0, 4, "NaN:") == 0) {
    uint64_t bits = 0;
    for (size_t i = 4; i < name.size(); i++) {
      const uint8_t digit = kHexTable.value[static_cast<unsigned char>(name[i])];
      if (digit == 0xff) return false;
      bits = bits << 4 | digit;
    }
    std::memcpy(out, &bits, sizeof *out);
    return std::isnan(*out);
  }
  if (name == "Infinity" || name == "-Infinity") {
    *out = name[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    return true;
  }
  return false;
}

Status NoValueForType(int type) {
  return Status::Error("a member of type code " + Num(int32_t{type}) + " takes no value");
}

bool DecodeHex(std::string_view text, std::vector<uint8_t>& out, size_t& bad) {
  // Pairs are decoded straight into the sized vector; on the first faulty
  // pair the digits are looked at one by one to name the offending one.
  out.resize(text.size() / 2);
  const unsigned char* in = reinterpret_cast<const unsigned char*>(text.data());
  uint8_t* o = out.data();
  const size_t pairs = text.size() / 2;
  for (size_t p = 0; p < pairs; ++p) {
    const uint8_t hi = kHexTable.value[in[2 * p]];
    const uint8_t lo = kHexTable.value[in[2 * p + 1]];
    if ((hi | lo) & 0xf0) {
      bad = hi == 0xff ? 2 * p : 2 * p + 1;
      out.clear();
      return false;
    }
    o[p] = static_cast<uint8_t>(hi << 4 | lo);
  }
  if (text.size() % 2 != 0) {
    const size_t last = text.size() - 1;
    bad = kHexTable.value[in[last]] == 0xff ? last : text.size();
    out.clear();
    return false;
  }
  return true;
}

int DecodeLatin1Char(std::string_view utf8) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8.data());
  uint32_t cp;
  if (utf8.empty() || DecodeUtf8(p, p + utf8.size(), &cp) != utf8.size() || cp > 0xFF) return -1;
  return static_cast<int>(cp);
}

}  // namespace wqsource
