// The keywords of the command grammar after the command word, matched
// ignoring ASCII case: the dispatcher parses with them and the completion
// offers them.
#ifndef WQSQL_SHELL_KEYWORDS_H_
#define WQSQL_SHELL_KEYWORDS_H_

#include "store/names.h"

namespace keyword {

// connect [to] path
constexpr char kTo[] = "to";
// select * from table, select a, b from table
constexpr char kAllColumns[] = "*";
constexpr char kFrom[] = "from";
// set verbose on|off, set separator c
constexpr char kVerbose[] = "verbose";
constexpr char kSeparator[] = "separator";
constexpr char kOn[] = "on";
constexpr char kOff[] = "off";
// The catalogue's pseudo tables, which a select names in place of a class.
using wqstore::kClassesTableName;
using wqstore::kClassStatsTableName;

}  // namespace keyword

#endif  // WQSQL_SHELL_KEYWORDS_H_
