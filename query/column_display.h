// How the object table shows a member of each data type code: the kind of
// cell and the width of its column, in one table built from the store's data
// type table. The codes that carry no value show "n/a" when they are 7, 9 or
// 11 and an empty cell otherwise.
#ifndef WQSQL_QUERY_COLUMN_DISPLAY_H_
#define WQSQL_QUERY_COLUMN_DISPLAY_H_

#include <cstdint>

// The widest column, a string's.
constexpr int kStringColumnWidth = 75;

enum class CellKind : uint8_t { kString, kInt, kDouble, kChar, kBlob, kRef, kNotAvailable, kEmpty };

struct ColumnDisplay {
  CellKind kind;
  int width;  // in characters
};

// The display of a member's data type code; a code outside 0..255 shows an
// empty cell in a column of 3.
const ColumnDisplay& DisplayOf(int code);

#endif  // WQSQL_QUERY_COLUMN_DISPLAY_H_
