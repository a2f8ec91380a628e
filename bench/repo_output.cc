// Writes a data set as a repository through the store's writer.
#include <stdexcept>
#include <vector>

#include "bench/outputs.h"
#include "store/api.h"
#include "store/writer.h"

namespace wqbench {

void WriteRepository(const Dataset& d, const std::string& path) {
  wqstore::RepositoryWriter w;
  const std::vector<ClassDef>& classes = d.classes();
  for (const ClassDef& c : classes) {
    const uint32_t cls = w.AddClass(c.name, c.number, false, 0);
    for (const MemberDef& m : c.members) w.AddMember(cls, m.name, m.number, m.type, false);
  }

  // C's members in order: name, id, value, flag, data.
  for (uint32_t i = 0; i < d.n(); ++i) {
    const CRow r = d.MakeC(i);
    const wqstore::ObjectId o = w.AddObject(kClassC);
    w.SetString(o, 0, r.name);
    w.SetInt(o, 1, r.id);
    w.SetDouble(o, 2, r.value);
    w.SetChar(o, 3, static_cast<uint8_t>(r.flag));
    w.SetBlob(o, 4, r.data, sizeof r.data);
  }
  if (classes.size() > kClassR) {
    // R's members in order: label, target, seq.
    for (uint32_t i = 0; i < classes[kClassR].object_count; ++i) {
      const RRow r = d.MakeR(i);
      const wqstore::ObjectId o = w.AddObject(kClassR);
      w.SetString(o, 0, r.label);
      w.SetRef(o, 1, wqstore::ObjectId{static_cast<uint32_t>(kClassC), r.target});
      w.SetInt(o, 2, r.seq);
    }
  }
  for (size_t ci = kFirstSmallClass; ci < classes.size(); ++ci) {
    const int k = static_cast<int>(ci - kFirstSmallClass);
    const uint32_t cls = static_cast<uint32_t>(ci);
    const size_t members = classes[ci].members.size();
    for (uint32_t i = 0; i < classes[ci].object_count; ++i) {
      const SRow r = d.MakeS(k, i);
      const wqstore::ObjectId o = w.AddObject(cls);
      w.SetString(o, 0, r.title);
      w.SetInt(o, 1, r.count);
      if (members > 2) w.SetDouble(o, 2, r.weight);
      if (members > 3) w.SetChar(o, 3, static_cast<uint8_t>(r.code));
    }
  }
  w.Commit(path);
}

}  // namespace wqbench
