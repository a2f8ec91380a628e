// The clock of the timing lines.
#ifndef WQSQL_TERMINAL_CLOCK_H_
#define WQSQL_TERMINAL_CLOCK_H_

#include <chrono>

// Milliseconds from a monotonic clock.
inline long long ElapsedMillisNow() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

#endif  // WQSQL_TERMINAL_CLOCK_H_
