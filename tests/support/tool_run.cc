// RunTool and ApiView.
#include "tests/support/tool_run.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "repository/store_api.h"
#include "store/data_types.h"
#include "store/reader.h"
#include "tests/support/test_util.h"

namespace wqtest {

ToolResult RunTool(const std::string& command_line) {
  TempFolder folder;
  const std::string out = folder.File("out"), err = folder.File("err");
  ToolResult r;
  r.status =
      RunCommand("exec </dev/null; " + command_line + " >" + Quote(out) + " 2>" + Quote(err));
  r.out = ReadFile(out);
  r.err = ReadFile(err);
  return r;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

namespace {

std::string Hex(const unsigned char* p, size_t n) {
  std::string s;
  char b[3];
  for (size_t i = 0; i < n; i++) {
    std::snprintf(b, sizeof b, "%02x", p[i]);
    s += b;
  }
  return s;
}

// "CLASSNUMBER:POSITION" of the object a reference resolved to, or "unset".
std::string Target(const awq_Object& o) {
  if (o.IsEmpty()) return "unset";
  const wqstore::ClassInfo* c = o.class_handle();
  const uint64_t position = static_cast<uint64_t>(o.record() - c->data) / c->record_size;
  return std::to_string(c->number) + ":" + std::to_string(position);
}

}  // namespace

std::string ApiView(const std::string& path) {
  awq_Database db;
  if (db.Open(path.c_str(), omReadOnly, 0, false) == nullptr) return "cannot open";
  std::string v;
  const awq_autovector<awq_Class> classes = db.GetClassDefs();
  for (const awq_Class& c : classes) {
    v += "class " + std::string(c.GetName()) + " number " + std::to_string(c.GetClassNumber()) +
         " size " + std::to_string(c.GetObjectSize()) + "\n";
    const awq_autovector<awq_ClassProperty> members = c.GetMembers();
    for (const awq_ClassProperty& m : members) {
      v += " member " + std::string(m.GetName()) + " number " +
           std::to_string(m.GetMemberNumber()) + " type " + std::to_string(m.GetDataType()) +
           (m.AllowNullValue() ? " nullable\n" : " required\n");
    }
    const awq_autovector<awq_Object> objects = db.FindObjects(c.GetClassNumber());
    for (const awq_Object& o : objects) {
      v += " object";
      for (const awq_ClassProperty& m : members) {
        const int n = m.GetMemberNumber();
        v += " | ";
        switch (wqstore::KindOf(m.GetDataType())) {
          case wqstore::ValueKind::kString: {
            const char* s = o.GetStringProperty(n);
            v += s == nullptr ? "null" : "\"" + std::string(s) + "\"";
            break;
          }
          case wqstore::ValueKind::kInt: v += std::to_string(o.GetIntProperty(n)); break;
          case wqstore::ValueKind::kDouble: {
            const double d = o.GetDoubleProperty(n);
            uint64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            char b[20];
            std::snprintf(b, sizeof b, "%016" PRIx64, bits);
            v += b;
            break;
          }
          case wqstore::ValueKind::kChar:
            v += std::to_string(static_cast<unsigned char>(o.GetCharProperty(n)));
            break;
          case wqstore::ValueKind::kBlob: {
            int32_t size = -1;
            const unsigned char* data = nullptr;
            o.GetBlobProperty(n, size, data);
            v += "blob " + Hex(data, static_cast<size_t>(size));
            break;
          }
          case wqstore::ValueKind::kRef: v += Target(o.GetObjectRefProperty(n)); break;
          case wqstore::ValueKind::kNone: v += "-"; break;
        }
      }
      v += "\n";
    }
  }
  return v;
}

}  // namespace wqtest
