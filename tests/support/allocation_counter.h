// Counts the bytes the test program allocates with operator new between a
// start and a stop: a measure of work that does not depend on timing.
#ifndef WQSQL_TESTS_ALLOCATION_COUNTER_H_
#define WQSQL_TESTS_ALLOCATION_COUNTER_H_

#include <cstddef>

namespace wqtest {

void StartCountingAllocations();
// The bytes allocated since the start.
size_t StopCountingAllocations();

}  // namespace wqtest

#endif  // WQSQL_TESTS_ALLOCATION_COUNTER_H_
