// Keeper: a capsule holding a share of the open repository.
#include "python/session.h"

namespace wqpy {

pybind11::capsule Keeper(const RepositoryPtr& repository) {
  auto* held = new RepositoryPtr(repository);
  return pybind11::capsule(held, [](void* p) { delete static_cast<RepositoryPtr*>(p); });
}

}  // namespace wqpy
