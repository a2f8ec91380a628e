// MappingGuard: reads of a file mapping that the file no longer backs. When
// a mapped file shrinks (or its disk fails), touching a page past its new
// end raises SIGBUS. For an address inside a guarded range the SIGBUS
// handler puts zero pages over the rest of the range and lets the read run
// again, so it sees zeros, and marks the range faulted; its owner asks
// Faulted() and reports the change instead of dying. A SIGBUS at any other
// address goes to the handler that was there before (or ends the process,
// as it would have without a guard).
#ifndef WQSQL_PLATFORM_MAPPING_GUARD_H_
#define WQSQL_PLATFORM_MAPPING_GUARD_H_

#include <cstddef>

class MappingGuard {
 public:
  MappingGuard() = default;
  // Stops guarding; must happen before the range is unmapped.
  ~MappingGuard() { Release(); }
  MappingGuard(const MappingGuard&) = delete;
  MappingGuard& operator=(const MappingGuard&) = delete;

  // Guards the mapping [begin, begin + length), which starts on a page
  // boundary, and installs the SIGBUS handler when it is not in place.
  // Returns false when every slot of the fixed table is taken; the range
  // is then read unguarded.
  bool Guard(const void* begin, size_t length);
  void Release();

  // True once a read inside the range met a page the file no longer backs.
  bool Faulted() const;

 private:
  int slot_ = -1;
};

#endif  // WQSQL_PLATFORM_MAPPING_GUARD_H_
