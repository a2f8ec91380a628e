// The `descr` command and the member statistics it shares with the class
// statistics listing.
#ifndef WQSQL_REPOSITORY_CLASS_DESCRIPTION_H_
#define WQSQL_REPOSITORY_CLASS_DESCRIPTION_H_

#include <cstdint>

#include "platform/buffered_writer.h"
#include "repository/command_errors.h"
#include "repository/store_api.h"

struct MemberStats {
  int32_t minM = 0;  // smallest member number
  int32_t maxM = 0;  // largest member number
  int32_t numM = 0;  // number of members
};

// Statistics over the members the store returns for the class; all 0 for a
// class without members.
MemberStats ComputeMemberStats(awq_Class classDef);

// Writes the class summary line and its member table of the connected
// repository. `className` may be null when descr was typed without a name.
CommandErrors DescribeClass(const char* className, BufferedWriter& writer);

#endif  // WQSQL_REPOSITORY_CLASS_DESCRIPTION_H_
