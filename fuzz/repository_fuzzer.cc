// Fuzz target: arbitrary bytes as a repository file. Opens it, walks every
// listing and every getter of every member of every object, and validates.
// Whatever the bytes, nothing may crash or read out of bounds, no name of a
// file that opens holds a control character, and a file that validates must
// read back consistently.
//
// The first byte chooses how the rest is taken (fuzz_util.h): as it is, or
// with the header and directory checksums recomputed, or with every
// checksum recomputed.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_util.h"
#include "repository/store_api.h"
#include "store/names.h"

namespace {

volatile uint64_t g_sink;  // keeps the reads from being optimised away

void ReadEverything(const awq_Database& db) {
  awq_autovector<awq_Class> classes = db.GetClassDefs();
  for (const awq_Class& c : classes) {
    g_sink += std::strlen(c.GetName()) + static_cast<uint64_t>(c.GetObjectSize());
    if (!wqstore::CheckName(c.GetName()).ok()) std::abort();  // Open keeps the name rule
    awq_autovector<awq_ClassProperty> members = c.GetMembers();
    for (const awq_ClassProperty& m : members) {
      if (!wqstore::CheckName(m.GetName()).ok()) std::abort();
      g_sink += std::strlen(m.GetName()) + static_cast<uint64_t>(m.GetDataType()) +
                (m.AllowNullValue() ? 1 : 0) + std::strlen(GetDataTypeName(m.GetDataType()));
    }
    awq_autovector<awq_Object> objects = db.FindObjects(c.GetClassNumber());
    for (const awq_Object& o : objects) {
      for (const awq_ClassProperty& m : members) {
        const int n = m.GetMemberNumber();
        if (const char* s = o.GetStringProperty(n)) g_sink += std::strlen(s);
        g_sink += static_cast<uint64_t>(o.GetIntProperty(n));
        const double d = o.GetDoubleProperty(n);
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        g_sink += bits + static_cast<unsigned char>(o.GetCharProperty(n));
        int32_t size = 0;
        const unsigned char* data = nullptr;
        o.GetBlobProperty(n, size, data);
        if (size < 0 || (size > 0 && data == nullptr)) std::abort();
        for (int32_t i = 0; i < size; ++i) g_sink += data[i];
        const awq_Object target = o.GetObjectRefProperty(n);
        if (!target.IsEmpty()) {
          if (const char* s = target.GetStringProperty(3)) g_sink += std::strlen(s);
        }
      }
      // Member numbers the class may not have read as null, 0 or empty.
      if (const char* s = o.GetStringProperty(3)) g_sink += std::strlen(s);
      g_sink += static_cast<uint64_t>(o.GetIntProperty(-1));
    }
    const awq_Class again = db.FindClassDef(c.GetName());
    if (again.IsEmpty()) std::abort();  // every listed class can be found by name
  }
  awq_autovector<awq_Object> none = db.FindObjects(0x7fffffff);
  g_sink += static_cast<uint64_t>(none.count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string path = RepositoryBytesAsFile(data, size);
  awq_Database db;
  if (db.Open(path.c_str(), omReadOnly, 0, false) == nullptr) {
    try {
      db.ValidateRepository();
      std::abort();  // an unopened database must never validate
    } catch (const awq_StoreError&) {
    }
    return 0;
  }
  ReadEverything(db);
  try {
    db.ValidateRepository();
  } catch (const awq_StoreError&) {
  }
  return 0;
}
