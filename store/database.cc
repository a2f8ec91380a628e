// awq_Database: opening a repository read-only, class lookup, object lists
// and validation, on top of wqstore::Reader and wqstore::Validate. The
// store's failures become this interface's contract here: null from Open
// with the reason kept, awq_StoreError from the rest.
#include <new>

#include "platform/text.h"
#include "store/api.h"
#include "store/reader.h"
#include "store/validator.h"

using wqstore::ClassInfo;
using wqstore::Reader;

awq_Database::awq_Database() = default;

awq_Database::~awq_Database() { delete reader_; }

const char* awq_Database::Open(const char* path, openMode mode, int flags, bool create) {
  (void)flags;  // no flags are defined
  delete reader_;
  reader_ = nullptr;
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
  try {
    std::unique_ptr<Reader> reader;
    const Status opened = Reader::Open(path_, &reader);
    if (!opened.ok()) {
      open_error_ = opened.message();
      return nullptr;
    }
    reader_ = reader.release();
  } catch (const std::bad_alloc&) {
    open_error_ = "out of memory";
    return nullptr;
  }
  return path_.c_str();
}

awq_Class awq_Database::FindClassDef(const char* name) const {
  if (reader_ == nullptr || name == nullptr || *name == '\0') return awq_Class();
  return awq_Class(reader_->FindByName(name));
}

awq_autovector<awq_Class> awq_Database::GetClassDefs() const {
  if (reader_ == nullptr || reader_->class_count() == 0)
    return awq_autovector<awq_Class>(nullptr, 0, true);
  const int32_t n = static_cast<int32_t>(reader_->class_count());
  awq_Class* arr = new awq_Class[n];
  for (int32_t i = 0; i < n; i++) arr[i] = awq_Class(&reader_->class_at(static_cast<uint32_t>(i)));
  return awq_autovector<awq_Class>(arr, n, true);
}

awq_autovector<awq_Object> awq_Database::FindObjects(int classNumber) const {
  const ClassInfo* c = reader_ != nullptr ? reader_->FindByNumber(classNumber) : nullptr;
  if (c == nullptr || c->object_count == 0) return awq_autovector<awq_Object>(nullptr, 0, true);
  const int32_t n = static_cast<int32_t>(c->object_count);
  awq_Object* arr;
  try {
    arr = new awq_Object[n];
  } catch (const std::bad_alloc&) {
    throw awq_StoreError("repository " + path_ + ": cannot list the " + Num(n) +
                         " objects of class " + Num(c->number) + ": out of memory");
  }
  const unsigned char* rec = c->data;
  const size_t step = c->record_size;
  for (int32_t i = 0; i < n; i++, rec += step) arr[i] = awq_Object(rec);
  return awq_autovector<awq_Object>(arr, n, true);
}

void awq_Database::ValidateRepository() const {
  if (reader_ == nullptr) {
    if (open_error_.empty()) throw awq_StoreError("no repository is open");
    throw awq_StoreError("no repository is open (" + path_ + ": " + open_error_ + ")");
  }
  // What a changed file holds says nothing about the file that was opened:
  // the change is the fault, whatever else the pass found.
  const std::string where = "repository " + path_ + ": ";
  if (reader_->file().Changed()) throw awq_StoreError(where + "file changed since it was opened");
  const Status valid = wqstore::Validate(*reader_, path_);
  if (reader_->file().Changed()) throw awq_StoreError(where + "file changed while it was validated");
  if (!valid.ok()) throw awq_StoreError(valid.message());
}

bool awq_Database::HasFileChanged() const { return reader_ != nullptr && reader_->file().Changed(); }
