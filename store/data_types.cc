// The data type table and the look-up by name.
#include "store/data_types.h"

namespace wqstore {
namespace internal {
constexpr DataTypeTable kDataTypes;
}  // namespace internal

int DataTypeCodeOfName(std::string_view name) {
  // The first code of each name: "ref" is 6.
  for (int code = 1; code < 256; ++code) {
    const DataType& t = DataTypeOf(static_cast<uint8_t>(code));
    if (t.kind != ValueKind::kNone && name == t.name) return code;
  }
  return -1;
}

}  // namespace wqstore
