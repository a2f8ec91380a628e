// Files opened once per connection, found again by device and inode.
#include "sqlite/file_pool.h"

#include <sys/stat.h>

#include <algorithm>

namespace wqsqlite {
namespace {

bool Identify(const std::string& path, dev_t* device, ino_t* inode) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  *device = st.st_dev;
  *inode = st.st_ino;
  return true;
}

}  // namespace

wqstore::Result FilePool::Acquire(const std::string& path,
                                  std::shared_ptr<const wqstore::Repository>* repo) {
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [](const Entry& e) { return e.repo.expired(); }),
                 entries_.end());
  dev_t device = 0;
  ino_t inode = 0;
  const bool known = Identify(path, &device, &inode);
  if (known) {
    for (Entry& e : entries_) {
      if (e.device != device || e.inode != inode) continue;
      std::shared_ptr<const wqstore::Repository> open = e.repo.lock();
      if (open != nullptr && !open->HasChanged()) {
        *repo = std::move(open);
        return wqstore::Result::Ok();
      }
      e.repo.reset();  // changed: the file is opened again below
    }
  }
  std::unique_ptr<wqstore::Repository> opened;
  wqstore::Result r = wqstore::Repository::Open(path, &opened);
  if (!r.ok()) return r;
  std::shared_ptr<const wqstore::Repository> shared(std::move(opened));
  // Kept for sharing only when the path led to the same file before and
  // after the open, so an entry never names a file it did not open.
  dev_t device_after = 0;
  ino_t inode_after = 0;
  if (known && Identify(path, &device_after, &inode_after) && device_after == device &&
      inode_after == inode) {
    entries_.push_back(Entry{device, inode, shared});
  }
  *repo = std::move(shared);
  return wqstore::Result::Ok();
}

void* NewPoolRef(const std::shared_ptr<FilePool>& pool) {
  return new std::shared_ptr<FilePool>(pool);
}

const std::shared_ptr<FilePool>& PoolOf(void* aux) {
  return *static_cast<std::shared_ptr<FilePool>*>(aux);
}

void DeletePoolRef(void* aux) { delete static_cast<std::shared_ptr<FilePool>*>(aux); }

}  // namespace wqsqlite
