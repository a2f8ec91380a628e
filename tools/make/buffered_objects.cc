// BufferedObjects: recording objects by offset, and their replay.
#include "tools/make/buffered_objects.h"

#include <algorithm>

#include "tools/make/json_events.h"

namespace wqsource {

void BufferedObjects::Clear() {
  names_.clear();
  name_index_.clear();
  given_.clear();
  std::vector<Object>().swap(objects_);
  std::vector<Value>().swap(values_);
}

void BufferedObjects::BeginObject(size_t offset) {
  ++serial_;
  Object o;
  o.offset = offset;
  objects_.push_back(o);
}

bool BufferedObjects::Key(std::string_view key, uint32_t* name) {
  key_text_.assign(key);
  auto it = name_index_.find(key_text_);
  if (it == name_index_.end()) {
    *name = static_cast<uint32_t>(names_.size());
    names_.push_back(key_text_);
    name_index_.emplace(key_text_, *name);
    given_.push_back(0);
  } else {
    *name = it->second;
  }
  if (given_[*name] == serial_) return false;
  given_[*name] = serial_;
  return true;
}

void BufferedObjects::AddValue(size_t offset, size_t key_offset, uint32_t name) {
  Value v;
  v.offset = offset;
  v.key_delta = static_cast<uint32_t>(std::min<uint64_t>(offset - key_offset, UINT32_MAX));
  v.name = name;
  values_.push_back(v);
  ++objects_.back().value_count;
}

Status BufferedObjects::Replay(const ClassState& c,
                               const std::unordered_map<std::string, uint32_t>& member_by_name,
                               uint32_t cls, const SourceText& source,
                               ObjectBuilder& builder) const {
  std::vector<int64_t> member_of(names_.size(), -1);
  for (size_t n = 0; n < names_.size(); ++n) {
    auto it = member_by_name.find(names_[n]);
    if (it != member_by_name.end()) member_of[n] = it->second;
  }
  OneValue reread;
  ObjectName name;
  size_t next_value = 0;
  for (const Object& b : objects_) {
    ++name.ordinal;
    name.has_id = false;
    wqstore::ObjectRef o;
    WQ_RETURN_IF_ERROR(builder.AddObject(c, cls, name, b.offset, &o));
    if (b.id_offset != Object::kNoId) {
      name.id.assign(reread.Read(source.text(), b.id_offset).s);
      WQ_RETURN_IF_ERROR(builder.MapId(c, name, name.id, o, b.id_offset));
      name.has_id = true;
    }
    for (uint64_t k = 0; k < b.value_count; ++k) {
      const Value& v = values_[next_value++];
      if (member_of[v.name] < 0) {
        return source.FaultAt(
            v.offset - v.key_delta,
            ClassLabel(c) + ", " + ObjectLabel(name) + ": unknown member " + Quote(names_[v.name]));
      }
      const uint32_t m = static_cast<uint32_t>(member_of[v.name]);
      builder.Give(m);
      WQ_RETURN_IF_ERROR(
          builder.SetValue(c, name, o, m, reread.Read(source.text(), v.offset), v.offset));
    }
    WQ_RETURN_IF_ERROR(builder.CheckRequired(c, name, b.offset));
  }
  return Status::OK();
}

}  // namespace wqsource
