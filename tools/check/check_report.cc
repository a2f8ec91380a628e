// The verdict and statistics lines of wqcheck.
#include "tools/check/check_report.h"

#include "platform/text.h"

namespace wqtools {

std::string Count(uint64_t n, const char* one, const char* many) {
  return Num(n) + " " + (n == 1 ? one : many);
}

std::string SoundLine(const std::string& repo, const wqstore::RepositoryFigures& f) {
  return repo + ": ok (" + Count(f.classes.size(), "class", "classes") + ", " +
         Count(f.objects, "object", "objects") + ", " + Count(f.file_bytes, "byte", "bytes") +
         ")\n";
}

std::string StatsLines(const wqstore::RepositoryFigures& f, const wqstore::HeapFigures* heap) {
  std::string s = "  format version " + Num(f.format_version) + "\n";
  s += "  header " + Count(f.header_bytes, "byte", "bytes") + ", directory " +
       Count(f.directory_bytes, "byte", "bytes") + ", object data " +
       Count(f.data_bytes, "byte", "bytes") + ", heap " + Count(f.heap_bytes, "byte", "bytes") +
       "\n";
  for (const wqstore::ClassFigures& c : f.classes) {
    s += "  class " + Num(c.number) + " " + c.name + ": " + Count(c.members, "member", "members") +
         ", " + Count(c.objects, "object", "objects") + ", record size " + Num(c.record_size) +
         ", " + Count(c.data_bytes, "data byte", "data bytes") + "\n";
  }
  if (heap != nullptr) {
    s += "  heap: " + Count(heap->strings, "string", "strings") + " (" +
         Count(heap->string_bytes, "byte", "bytes") + "), " + Count(heap->blobs, "blob", "blobs") +
         " (" + Count(heap->blob_bytes, "byte", "bytes") + ")\n";
  }
  return s;
}

}  // namespace wqtools
