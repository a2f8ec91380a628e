// Fuzz target: wqdump of a crafted repository file. The bytes are taken as
// every repository target takes them (fuzz_util.h); a file that opens and validates, as wqdump
// requires before it writes anything, is dumped as a wqmake source and
// every class as CSV and JSON Lines (to /dev/null). Nothing may crash or
// read out of bounds, whatever a valid file holds.
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/fuzz_util.h"
#include "tools/common/repository_file.h"
#include "tools/dump/dump_source.h"
#include "tools/dump/dump_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool discarding = (DiscardStdout(), true);
  (void)discarding;
  if (size == 0) return 0;
  const std::string path = RepositoryBytesAsFile(data, size);
  std::unique_ptr<wqstore::Reader> reader;
  if (!wqtools::OpenRepository(path, &reader).ok()) return 0;
  if (!wqtools::CheckRepository(*reader, path).ok()) return 0;
  wqtools::TextSink out;
  wqtools::WriteSource(*reader, out);
  for (const wqstore::ClassInfo& c : reader->classes()) {
    wqtools::WriteTable(*reader, c, wqtools::TableFormat::kCsv, out);
    wqtools::WriteTable(*reader, c, wqtools::TableFormat::kJsonLines, out);
  }
  return 0;
}
