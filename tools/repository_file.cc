// OpenRepository and CheckRepository on the store's reader and validator.
#include "tools/repository_file.h"

namespace wqtools {

Status OpenRepository(const std::string& path, std::unique_ptr<wqstore::Reader>* reader) {
  return wqstore::Reader::Open(path == "-" ? "/dev/stdin" : path, reader);
}

Status CheckRepository(const wqstore::Reader& reader, const std::string& path,
                       const wqstore::ValidateProgress& progress) {
  const std::string prefix = "repository " + path + ": ";
  const Status checked = wqstore::Validate(reader, path, wqstore::ValidateBuffers(), progress);
  if (checked.ok() || checked.message().compare(0, prefix.size(), prefix) != 0) return checked;
  return Status::Error(checked.message().substr(prefix.size()));
}

}  // namespace wqtools
