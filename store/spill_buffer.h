// SpillBuffer: a growable byte buffer that lives in memory, or, once told to
// spill, in a scratch file with only a bounded part in memory: the bytes
// appended last (a window that is written out when it fills) and one block
// of the older bytes, kept for writes that come back to them. A writer that
// appends records and sets fields of recent objects then touches the file
// only sequentially, whatever the size of what it builds.
#ifndef WQSQL_STORE_SPILL_BUFFER_H_
#define WQSQL_STORE_SPILL_BUFFER_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/status.h"
#include "store/byte_chunks.h"
#include "store/scratch_file.h"

namespace wqstore {

class SpillBuffer {
 public:
  // Bytes of the appending window and of the block of older bytes.
  static constexpr size_t kWindowSize = size_t{4} << 20;
  static constexpr size_t kBlockSize = size_t{1} << 20;

  SpillBuffer() = default;
  SpillBuffer(const SpillBuffer&) = delete;
  SpillBuffer& operator=(const SpillBuffer&) = delete;

  // From now on keeps the bytes in a scratch file near `near_path`
  // (store/scratch_file.h). Only while the buffer is empty.
  Status SpillNear(const std::string& near_path);
  bool spills() const { return file_ != nullptr; }

  uint64_t size() const { return size_; }

  Status Append(const void* data, size_t n) {
    if (file_ == nullptr) {
      memory_.Append(data, n);
      size_ += n;
      return Status::OK();
    }
    if (window_.size() + n <= kWindowSize) {
      const unsigned char* p = static_cast<const unsigned char*>(data);
      window_.insert(window_.end(), p, p + n);
      size_ += n;
      return Status::OK();
    }
    return AppendSpilling(data, n);
  }

  // Overwrites [offset, offset + n), which must lie inside the buffer.
  Status Write(uint64_t offset, const void* data, size_t n) {
    if (file_ == nullptr) {
      memory_.Write(offset, data, n);
      return Status::OK();
    }
    if (offset >= window_start_) {
      std::memcpy(window_.data() + (offset - window_start_), data, n);
      return Status::OK();
    }
    return WriteOlder(offset, data, n);
  }

  // Copies [offset, offset + n), which must lie inside the buffer, to `data`.
  Status Read(uint64_t offset, void* data, size_t n);

 private:
  Status AppendSpilling(const void* data, size_t n);
  Status WriteOlder(uint64_t offset, const void* data, size_t n);
  // Writes the window out and starts an empty one at the end.
  Status FlushWindow();
  // Writes the block back when it holds changes.
  Status FlushBlock();
  // Makes the block the one holding `offset` (below the window).
  Status LoadBlock(uint64_t offset);

  uint64_t size_ = 0;
  ByteChunks memory_;  // everything, until SpillNear

  std::unique_ptr<ScratchFile> file_;
  uint64_t window_start_ = 0;          // the window holds [window_start_, size_)
  std::vector<unsigned char> window_;  // capacity kWindowSize
  uint64_t block_start_ = 0;           // the block holds [block_start_, + block_.size())
  std::vector<unsigned char> block_;   // empty when none is loaded
  bool block_dirty_ = false;
};

}  // namespace wqstore

#endif  // WQSQL_STORE_SPILL_BUFFER_H_
