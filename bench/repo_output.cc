// Writes a data set as a repository through the store's writer.
#include <vector>

#include "bench/outputs.h"
#include "repository/store_api.h"
#include "store/writer.h"

namespace wqbench {
namespace {

// A refusal or failure of the writer, as an exception.
void Check(const Status& s) {
  if (!s.ok()) throw awq_StoreError(s.message());
}

}  // namespace

void WriteRepository(const Dataset& d, const std::string& path) {
  wqstore::RepositoryWriter w;
  const std::vector<ClassDef>& classes = d.classes();
  for (const ClassDef& c : classes) {
    uint32_t cls;
    Check(w.AddClass(c.name, c.number, false, 0, &cls));
    for (const MemberDef& m : c.members) {
      Check(w.AddMember(cls, m.name, m.number, m.type, false, nullptr));
    }
  }

  // C's members in order: name, id, value, flag, data.
  wqstore::ObjectRef o;
  for (uint32_t i = 0; i < d.n(); ++i) {
    const CRow r = d.MakeC(i);
    Check(w.AddObject(kClassC, &o));
    Check(w.SetString(o, 0, r.name));
    Check(w.SetInt(o, 1, r.id));
    Check(w.SetDouble(o, 2, r.value));
    Check(w.SetChar(o, 3, static_cast<uint8_t>(r.flag)));
    Check(w.SetBlob(o, 4, r.data, sizeof r.data));
  }
  if (classes.size() > kClassR) {
    // R's members in order: label, target, seq.
    for (uint32_t i = 0; i < classes[kClassR].object_count; ++i) {
      const RRow r = d.MakeR(i);
      Check(w.AddObject(kClassR, &o));
      Check(w.SetString(o, 0, r.label));
      Check(w.SetRef(o, 1, wqstore::ObjectRef{static_cast<uint32_t>(kClassC), r.target}));
      Check(w.SetInt(o, 2, r.seq));
    }
  }
  for (size_t ci = kFirstSmallClass; ci < classes.size(); ++ci) {
    const int k = static_cast<int>(ci - kFirstSmallClass);
    const uint32_t cls = static_cast<uint32_t>(ci);
    const size_t members = classes[ci].members.size();
    for (uint32_t i = 0; i < classes[ci].object_count; ++i) {
      const SRow r = d.MakeS(k, i);
      Check(w.AddObject(cls, &o));
      Check(w.SetString(o, 0, r.title));
      Check(w.SetInt(o, 1, r.count));
      if (members > 2) Check(w.SetDouble(o, 2, r.weight));
      if (members > 3) Check(w.SetChar(o, 3, static_cast<uint8_t>(r.code)));
    }
  }
  Check(w.Commit(path));
}

}  // namespace wqbench
