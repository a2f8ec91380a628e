// awq_Database: opening a repository read-only, class lookup, object lists
// and validation, on wqstore::Repository. Its results become this
// interface's contract here: null from Open with the reason kept,
// awq_StoreError from the rest.
#include <new>

#include "platform/text.h"
#include "repository/store_api.h"
#include "store/scan.h"

using wqstore::ClassInfo;
using wqstore::internal::Access;

awq_Database::awq_Database() = default;

awq_Database::~awq_Database() = default;

const char* awq_Database::Open(const char* path, openMode mode, int flags, bool create) {
  (void)flags;  // no flags are defined
  repo_.reset();
  open_error_.clear();
  path_ = path != nullptr ? path : "";
  if (path == nullptr) {
    open_error_ = "no file name given";
    return nullptr;
  }
  if (mode != omReadOnly) {
    open_error_ = "unsupported open mode " + Num(static_cast<int32_t>(mode));
    return nullptr;
  }
  if (create) {
    open_error_ = "repositories are created with the writer, not by Open";
    return nullptr;
  }
  const wqstore::Result opened = wqstore::Repository::Open(path_, &repo_);
  if (!opened.ok()) {
    // The reason without the path the message starts with.
    open_error_ = opened.message().substr(path_.size() + 2);
    return nullptr;
  }
  return path_.c_str();
}

awq_Class awq_Database::FindClassDef(const char* name) const {
  wqstore::ClassDef found;
  if (repo_ == nullptr || name == nullptr || *name == '\0' ||
      !repo_->FindClass(name, &found).ok()) {
    return awq_Class();
  }
  return awq_Class(Access::Info(found));
}

awq_autovector<awq_Class> awq_Database::GetClassDefs() const {
  const int32_t n = repo_ != nullptr ? repo_->class_count() : 0;
  if (n == 0) return awq_autovector<awq_Class>(nullptr, 0, true);
  awq_Class* arr = new awq_Class[n];
  for (int32_t i = 0; i < n; i++) arr[i] = awq_Class(Access::Info(repo_->class_at(i)));
  return awq_autovector<awq_Class>(arr, n, true);
}

awq_ObjectSpan awq_Database::SpanObjects(int classNumber) const {
  wqstore::ClassDef found;
  if (repo_ == nullptr || !repo_->FindClassByNumber(classNumber, &found).ok()) {
    return awq_ObjectSpan();
  }
  const ClassInfo* c = Access::Info(found);
  return awq_ObjectSpan(c->data, c->record_size, static_cast<int32_t>(c->object_count));
}

awq_autovector<awq_Object> awq_Database::FindObjects(int classNumber) const {
  const awq_ObjectSpan span = SpanObjects(classNumber);
  const int32_t n = span.size();
  if (n == 0) return awq_autovector<awq_Object>(nullptr, 0, true);
  awq_Object* arr;
  try {
    arr = new awq_Object[n];
  } catch (const std::bad_alloc&) {
    throw awq_StoreError("repository " + path_ + ": cannot list the " + Num(n) +
                         " objects of class " + Num(int32_t{classNumber}) + ": out of memory");
  }
  for (int32_t i = 0; i < n; i++) arr[i] = span[i];
  return awq_autovector<awq_Object>(arr, n, true);
}

void awq_Database::ValidateRepository() const {
  if (repo_ == nullptr) {
    if (open_error_.empty()) throw awq_StoreError("no repository is open");
    throw awq_StoreError("no repository is open (" + path_ + ": " + open_error_ + ")");
  }
  // The result names the file "PATH: "; this interface's errors name it
  // "repository PATH: ".
  const wqstore::Result valid = repo_->Validate();
  if (!valid.ok()) throw awq_StoreError("repository " + valid.message());
}

bool awq_Database::HasFileChanged() const { return repo_ != nullptr && repo_->HasChanged(); }

const wqstore::Reader* awq_Database::reader() const {
  return repo_ != nullptr ? &Access::ReaderOf(*repo_) : nullptr;
}
