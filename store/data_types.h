// The data type codes of class members, in one table: each code's name, the
// bytes its value takes in a record and the kind of value it holds. The
// reader, the validator, the writer, the handles and the tools all take what
// they need of a code from here.
#ifndef WQSQL_STORE_DATA_TYPES_H_
#define WQSQL_STORE_DATA_TYPES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "wqstore/repository.h"

namespace wqstore {

// The second code of a reference member, beside DataType::kReference.
constexpr uint8_t kSecondReferenceCode = 8;

// What a value of a code is and how it is stored: a string or blob is a
// u64 heap offset (0: null or empty); an int an i32; a double an IEEE-754
// binary64; a char one byte; a reference a u32 class index and a u32
// object index (both all ones: unset). kNone codes take no bytes and
// carry no value.
enum class ValueKind : uint8_t { kNone, kString, kInt, kDouble, kChar, kBlob, kRef };

struct TypeEntry {
  const char* name;  // "string", "int", ..., or "typeN" for the others
  uint8_t width;     // bytes in a record
  ValueKind kind;
};

namespace internal {
struct DataTypeTable {
  TypeEntry types[256];
  char names[256][8];
  constexpr DataTypeTable() : types(), names() {
    for (int code = 0; code < 256; ++code) {
      // "type" and the decimal code.
      char* n = names[code];
      n[0] = 't', n[1] = 'y', n[2] = 'p', n[3] = 'e';
      int i = 4;
      if (code >= 100) n[i++] = static_cast<char>('0' + code / 100);
      if (code >= 10) n[i++] = static_cast<char>('0' + code / 10 % 10);
      n[i++] = static_cast<char>('0' + code % 10);
      n[i] = '\0';
      types[code] = TypeEntry{names[code], 0, ValueKind::kNone};
    }
    types[Code(DataType::kString)] = TypeEntry{"string", 8, ValueKind::kString};
    types[Code(DataType::kInt)] = TypeEntry{"int", 4, ValueKind::kInt};
    types[Code(DataType::kDouble)] = TypeEntry{"double", 8, ValueKind::kDouble};
    types[Code(DataType::kChar)] = TypeEntry{"char", 1, ValueKind::kChar};
    types[Code(DataType::kBlob)] = TypeEntry{"blob", 8, ValueKind::kBlob};
    types[Code(DataType::kReference)] = TypeEntry{"ref", 8, ValueKind::kRef};
    types[kSecondReferenceCode] = TypeEntry{"ref", 8, ValueKind::kRef};
  }
  static constexpr size_t Code(DataType type) { return static_cast<size_t>(type); }
};
extern const DataTypeTable kDataTypes;
}  // namespace internal

// The entry of a one-byte code; codes outside 0..255 never come from a file.
inline const TypeEntry& DataTypeOf(uint8_t code) { return internal::kDataTypes.types[code]; }
inline ValueKind KindOf(int code) {
  return code >= 0 && code < 256 ? DataTypeOf(static_cast<uint8_t>(code)).kind : ValueKind::kNone;
}
inline uint32_t FieldWidth(int code) {
  return code >= 0 && code < 256 ? DataTypeOf(static_cast<uint8_t>(code)).width : 0;
}
inline bool IsReference(int code) { return KindOf(code) == ValueKind::kRef; }
// Strings and references are the values that can be null.
inline bool CanBeNull(int code) {
  const ValueKind k = KindOf(code);
  return k == ValueKind::kString || k == ValueKind::kRef;
}

// How messages name a kind of value: "string", "int", "double", "char",
// "blob", "reference", and "no" for kNone (as in "a no member": one that
// takes no value).
inline const char* ValueKindWord(ValueKind kind) {
  static constexpr const char* kWords[] = {"no",   "string", "int",      "double",
                                           "char", "blob",   "reference"};
  return kWords[static_cast<int>(kind)];
}

// The kind with its article, as messages say what a member is: "a string",
// "an int", ..., and "of a type that stores no value" for kNone.
inline std::string ValueKindPhrase(ValueKind kind) {
  if (kind == ValueKind::kNone) return "of a type that stores no value";
  return std::string(kind == ValueKind::kInt ? "an " : "a ") + ValueKindWord(kind);
}

// The code a source names by `name` ("string", "int", "double", "char",
// "blob", "ref": 6), or -1.
int DataTypeCodeOfName(std::string_view name);

}  // namespace wqstore

#endif  // WQSQL_STORE_DATA_TYPES_H_
