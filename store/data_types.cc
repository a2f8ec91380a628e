// The data type table, the look-up by name and the public names of codes.
#include "store/data_types.h"

#include <string>

#include "platform/text.h"
#include "wqstore/repository.h"

namespace wqstore {
namespace internal {
constexpr DataTypeTable kDataTypes;
}  // namespace internal

int DataTypeCodeOfName(std::string_view name) {
  // The first code of each name: "ref" is 6.
  for (int code = 1; code < 256; ++code) {
    const TypeEntry& t = DataTypeOf(static_cast<uint8_t>(code));
    if (t.kind != ValueKind::kNone && name == t.name) return code;
  }
  return -1;
}

const char* TypeName(int code) {
  if (code >= 0 && code < 256) return DataTypeOf(static_cast<uint8_t>(code)).name;
  // Codes outside a byte never come from a file; each thread keeps the text
  // of its latest such call.
  thread_local std::string other;
  other = "type" + Num(int32_t{code});
  return other.c_str();
}

}  // namespace wqstore
