// OpenRepository and CheckRepository on the store's reader and validator.
#include "tools/common/repository_file.h"

namespace wqtools {

Status OpenRepository(const std::string& path, std::unique_ptr<wqstore::Reader>* reader) {
  return wqstore::Reader::Open(path == "-" ? "/dev/stdin" : path, reader);
}

Status CheckUnchanged(const wqstore::Reader& reader) {
  if (reader.file().Changed()) return Status::Error("file changed since it was opened");
  return Status::OK();
}

Status CheckRepository(const wqstore::Reader& reader, const std::string& path,
                       const wqstore::ValidateProgress& progress) {
  WQ_RETURN_IF_ERROR(CheckUnchanged(reader));
  const std::string prefix = "repository " + path + ": ";
  const Status checked = wqstore::Validate(reader, path, wqstore::ValidateBuffers(), progress);
  // What a changed file holds says nothing about the file that was opened.
  if (reader.file().Changed()) return Status::Error("file changed while it was validated");
  if (checked.ok() || checked.message().compare(0, prefix.size(), prefix) != 0) return checked;
  return Status::Error(checked.message().substr(prefix.size()));
}

}  // namespace wqtools
