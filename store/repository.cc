// wqstore::Repository on the store's Reader and validator: opening with the
// reason on failure, class look-ups, the way from an identity to its
// object, validation and the change check.
#include <new>
#include <string>

#include "store/public_status.h"
#include "store/reader.h"
#include "store/scan.h"
#include "store/validator.h"
#include "wqstore/repository.h"

namespace wqstore {

struct Repository::Rep {
  std::string path;
  std::unique_ptr<Reader> reader;
};

Repository::Repository(std::unique_ptr<Rep> rep) : rep_(std::move(rep)) {}
Repository::~Repository() = default;

Result Repository::Open(const std::string& path, std::unique_ptr<Repository>* repository) {
  return Open(path, OpenOptions(), repository);
}

Result Repository::Open(const std::string& path, const OpenOptions& options,
                        std::unique_ptr<Repository>* repository) {
  try {
    std::unique_ptr<Rep> rep(new Rep{path, nullptr});
    const Status opened = Reader::Open(path, &rep->reader, options.guard_mapping);
    if (!opened.ok()) return ToResult(opened, Result::kDamaged, path + ": ");
    repository->reset(new Repository(std::move(rep)));
    return Result::Ok();
  } catch (const std::bad_alloc&) {
    return Result::Error(Result::kOutOfMemory, path + ": out of memory");
  }
}

const std::string& Repository::path() const { return rep_->path; }
uint64_t Repository::file_size() const { return rep_->reader->file().size(); }

int32_t Repository::class_count() const {
  return static_cast<int32_t>(rep_->reader->class_count());
}

ClassDef Repository::class_at(int32_t index) const {
  if (index < 0 || static_cast<uint32_t>(index) >= rep_->reader->class_count()) return ClassDef();
  return internal::Access::Class(&rep_->reader->class_at(static_cast<uint32_t>(index)));
}

Result Repository::FindClass(std::string_view name, ClassDef* cls) const {
  const ClassInfo* c = rep_->reader->FindByName(name);
  if (c == nullptr) {
    return Result::Error(Result::kNotFound,
                         rep_->path + ": no class named \"" + std::string(name) + "\"");
  }
  *cls = internal::Access::Class(c);
  return Result::Ok();
}

Result Repository::FindClassByNumber(int32_t number, ClassDef* cls) const {
  const ClassInfo* c = rep_->reader->FindByNumber(number);
  if (c == nullptr) {
    return Result::Error(Result::kNotFound,
                         rep_->path + ": no class with number " + std::to_string(number));
  }
  *cls = internal::Access::Class(c);
  return Result::Ok();
}

Result Repository::GetObject(const ObjectId& id, Object* object) const {
  ClassDef cls;
  Result found = FindClassByNumber(id.class_number, &cls);
  if (!found.ok()) return found;
  if (id.position < 0 || id.position >= cls.object_count()) {
    return Result::Error(Result::kNotFound, rep_->path + ": no object " + id.ToString() +
                                                ": class " + std::to_string(id.class_number) +
                                                " has " + std::to_string(cls.object_count()) +
                                                " objects");
  }
  *object =
      internal::Access::ObjectAt(internal::Access::Info(cls), static_cast<uint32_t>(id.position));
  return Result::Ok();
}

Result Repository::Validate() const {
  const std::string& path = rep_->path;
  // What a changed file holds says nothing about the file that was opened:
  // the change is the fault, whatever else the pass found.
  Result unchanged = CheckUnchanged();
  if (!unchanged.ok()) return unchanged;
  const Status valid = wqstore::Validate(*rep_->reader, path);
  if (rep_->reader->file().Changed()) {
    return Result::Error(Result::kChangedOnDisk, path + ": file changed while it was validated");
  }
  if (valid.ok()) return Result::Ok();
  // The validator names the file "repository PATH: "; a Result names it
  // "PATH: ".
  static constexpr char kWord[] = "repository ";
  const std::string& m = valid.message();
  const bool named = m.compare(0, sizeof kWord - 1, kWord) == 0;
  return Result::Error(CodeOf(valid.kind(), Result::kDamaged),
                       named ? m.substr(sizeof kWord - 1) : path + ": " + m);
}

bool Repository::HasChanged() const { return rep_->reader->file().Changed(); }
bool Repository::WasCutShort() const { return rep_->reader->file().Faulted(); }

Result Repository::CheckUnchanged() const {
  if (!HasChanged()) return Result::Ok();
  return Result::Error(Result::kChangedOnDisk, rep_->path + ": file changed since it was opened");
}

const Reader& internal::Access::ReaderOf(const Repository& repository) {
  return *repository.rep_->reader;
}

}  // namespace wqstore
