// SpillBuffer: the window, the block and the scratch file behind them.
#include "store/spill_buffer.h"

#include <algorithm>
#include <cstring>

namespace wqstore {

Status SpillBuffer::SpillNear(const std::string& near_path) {
  if (size_ != 0) return Status::Error("a buffer can spill only while it is empty");
  WQ_RETURN_IF_ERROR(ScratchFile::Create(near_path, &file_));
  window_.reserve(kWindowSize);
  return Status::OK();
}

Status SpillBuffer::FlushWindow() {
  WQ_RETURN_IF_ERROR(file_->WriteAt(window_start_, window_.data(), window_.size()));
  window_start_ = size_;
  window_.clear();
  return Status::OK();
}

Status SpillBuffer::AppendSpilling(const void* data, size_t n) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  while (n > 0) {
    if (window_.size() == kWindowSize) WQ_RETURN_IF_ERROR(FlushWindow());
    const size_t take = std::min(n, kWindowSize - window_.size());
    window_.insert(window_.end(), p, p + take);
    size_ += take;
    p += take;
    n -= take;
  }
  return Status::OK();
}

Status SpillBuffer::FlushBlock() {
  if (block_dirty_) {
    WQ_RETURN_IF_ERROR(file_->WriteAt(block_start_, block_.data(), block_.size()));
    block_dirty_ = false;
  }
  return Status::OK();
}

Status SpillBuffer::LoadBlock(uint64_t offset) {
  WQ_RETURN_IF_ERROR(FlushBlock());
  block_start_ = offset / kBlockSize * kBlockSize;
  block_.resize(static_cast<size_t>(std::min<uint64_t>(kBlockSize, window_start_ - block_start_)));
  const Status read = file_->ReadAt(block_start_, block_.data(), block_.size());
  if (!read.ok()) block_.clear();
  return read;
}

Status SpillBuffer::WriteOlder(uint64_t offset, const void* data, size_t n) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  while (n > 0) {
    if (offset >= window_start_) {
      std::memcpy(window_.data() + (offset - window_start_), p, n);
      return Status::OK();
    }
    if (block_.empty() || offset < block_start_ || offset >= block_start_ + block_.size()) {
      WQ_RETURN_IF_ERROR(LoadBlock(offset));
    }
    const size_t within = static_cast<size_t>(offset - block_start_);
    const size_t take = std::min(n, block_.size() - within);
    std::memcpy(block_.data() + within, p, take);
    block_dirty_ = true;
    offset += take;
    p += take;
    n -= take;
  }
  return Status::OK();
}

Status SpillBuffer::Read(uint64_t offset, void* data, size_t n) {
  if (file_ == nullptr) {
    memory_.Read(offset, data, n);
    return Status::OK();
  }
  // Changes held in the block reach the file before the file is read.
  WQ_RETURN_IF_ERROR(FlushBlock());
  unsigned char* p = static_cast<unsigned char*>(data);
  if (offset < window_start_) {
    const size_t from_file = static_cast<size_t>(std::min<uint64_t>(n, window_start_ - offset));
    WQ_RETURN_IF_ERROR(file_->ReadAt(offset, p, from_file));
    offset += from_file;
    p += from_file;
    n -= from_file;
  }
  if (n > 0) std::memcpy(p, window_.data() + (offset - window_start_), n);
  return Status::OK();
}

}  // namespace wqstore
