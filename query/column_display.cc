// The display table, filled once from the store's value kinds.
#include "query/column_display.h"

#include "store/scan.h"

namespace {

// Codes without a value that show "n/a" rather than an empty cell.
constexpr int kNotAvailableCodes[] = {7, 9, 11};

// A column of a code with nothing to show: room for "n/a".
constexpr ColumnDisplay kNothing = {CellKind::kEmpty, 3};

struct DisplayTable {
  ColumnDisplay entries[256];
};

ColumnDisplay DisplayOfKind(wqstore::ValueKind kind) {
  switch (kind) {
    case wqstore::ValueKind::kString: return {CellKind::kString, kStringColumnWidth};
    case wqstore::ValueKind::kInt: return {CellKind::kInt, 10};
    case wqstore::ValueKind::kDouble: return {CellKind::kDouble, 11};  // "%7.3g" in 11
    case wqstore::ValueKind::kChar: return {CellKind::kChar, 1};
    case wqstore::ValueKind::kBlob: return {CellKind::kBlob, 18};  // six bytes in hex
    case wqstore::ValueKind::kRef: return {CellKind::kRef, 50};    // the target's text
    case wqstore::ValueKind::kNone: break;
  }
  return kNothing;
}

DisplayTable BuildDisplayTable() {
  DisplayTable t;
  for (int code = 0; code < 256; ++code) t.entries[code] = DisplayOfKind(wqstore::KindOf(code));
  for (int code : kNotAvailableCodes) t.entries[code] = {CellKind::kNotAvailable, 3};
  return t;
}

}  // namespace

const ColumnDisplay& DisplayOf(int code) {
  static const DisplayTable table = BuildDisplayTable();
  return code >= 0 && code < 256 ? table.entries[code] : kNothing;
}
