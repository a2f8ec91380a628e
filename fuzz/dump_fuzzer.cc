// Fuzz target: wqdump of a crafted repository file. The bytes are taken as
// repository_fuzzer takes them; a file that opens and validates, as wqdump
// requires before it writes anything, is dumped as a wqmake source and
// every class as CSV and JSON Lines (to /dev/null). Nothing may crash or
// read out of bounds, whatever a valid file holds.
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/fuzz_util.h"
#include "store/checksums.h"
#include "tools/dump_source.h"
#include "tools/dump_table.h"
#include "tools/repository_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool discarding = (DiscardStdout(), true);
  (void)discarding;
  if (size == 0) return 0;
  std::string image(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 2 == 1) wqstore::RecomputeChecksums(&image, wqstore::Checksums::kAll);
  const std::string path =
      BytesAsFile(reinterpret_cast<const uint8_t*>(image.data()), image.size());
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
