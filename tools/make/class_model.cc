// Labels of classes, objects and values for messages.
#include "tools/make/class_model.h"

#include "platform/text.h"
#include "tools/make/source_faults.h"

namespace wqsource {

std::string ClassLabel(const ClassState& c) {
  return c.has_name ? "class " + Quote(c.name) : "class #" + Num(c.ordinal);
}

std::string ObjectLabel(const ObjectName& o) {
  return o.has_id ? "object " + Quote(o.id) : "object #" + Num(o.ordinal);
}

std::string ValueLabel(const ClassState& c, const ObjectName& o, uint32_t member) {
  return ClassLabel(c) + ", " + ObjectLabel(o) + ", member " + Quote(c.members[member].name);
}

}  // namespace wqsource
