// The name of the column (CSV) or key (JSON Lines) that holds an object's id
// in a table of one class, which wqdump writes and wqmake reads back: "id",
// or "_id", "__id", ... when a member of the class has it.
#ifndef WQSQL_TOOLS_COMMON_ID_COLUMN_H_
#define WQSQL_TOOLS_COMMON_ID_COLUMN_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wqtools {

// The name with the fewest underscores before "id" that none of the `count`
// members has; `name_of(i)` gives the name of member i as a
// std::string_view. One pass over the members.
template <typename NameOf>
std::string IdColumnName(size_t count, NameOf name_of) {
  // taken[k]: a member is named k underscores and "id". Only the first
  // count + 1 counts can all be taken.
  std::vector<bool> taken(count + 1, false);
  for (size_t i = 0; i < count; i++) {
    const std::string_view name = name_of(i);
    const size_t k = name.find_first_not_of('_');
    if (k < taken.size() && name.size() == k + 2 && name.compare(k, 2, "id") == 0) {
      taken[k] = true;
    }
  }
  size_t k = 0;
  while (taken[k]) k++;
  return std::string(k, '_') + "id";
}

}  // namespace wqtools

#endif  // WQSQL_TOOLS_COMMON_ID_COLUMN_H_
