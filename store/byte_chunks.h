// ByteChunks: a growable byte buffer made of chunks that never move, so it
// grows without copying what it holds and without the slack of a doubling
// vector. Chunks double from 256 bytes to 16 MiB and stay at 16 MiB after
// that; the chunk of an offset follows from its bit length.
#ifndef WQSQL_STORE_BYTE_CHUNKS_H_
#define WQSQL_STORE_BYTE_CHUNKS_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace wqstore {

class ByteChunks {
 public:
  uint64_t size() const { return size_; }

  void Append(const void* src, size_t n) {
    const unsigned char* s = static_cast<const unsigned char*>(src);
    while (n > 0) {
      if (size_ == capacity_) Grow();
      size_t chunk, within, chunk_size;
      Locate(size_, &chunk, &within, &chunk_size);
      size_t take = chunk_size - within < n ? chunk_size - within : n;
      std::memcpy(chunks_[chunk].get() + within, s, take);
      size_ += take;
      s += take;
      n -= take;
    }
  }

  // Overwrites [off, off + n), which must lie inside the buffer.
  void Write(uint64_t off, const void* src, size_t n) {
    const unsigned char* s = static_cast<const unsigned char*>(src);
    while (n > 0) {
      size_t chunk, within, chunk_size;
      Locate(off, &chunk, &within, &chunk_size);
      size_t take = chunk_size - within < n ? chunk_size - within : n;
      std::memcpy(chunks_[chunk].get() + within, s, take);
      off += take;
      s += take;
      n -= take;
    }
  }

  // Copies [off, off + n), which must lie inside the buffer, to dst.
  void Read(uint64_t off, void* dst, size_t n) const {
    unsigned char* d = static_cast<unsigned char*>(dst);
    while (n > 0) {
      size_t chunk, within, chunk_size;
      Locate(off, &chunk, &within, &chunk_size);
      size_t take = chunk_size - within < n ? chunk_size - within : n;
      std::memcpy(d, chunks_[chunk].get() + within, take);
      off += take;
      d += take;
      n -= take;
    }
  }

  // Calls fn(const unsigned char* bytes, size_t length) for the contents,
  // piece by piece in order.
  template <class Fn>
  void ForEachPiece(Fn&& fn) const {
    uint64_t left = size_;
    for (size_t k = 0; k < chunks_.size() && left > 0; k++) {
      size_t n = ChunkSize(k) < left ? ChunkSize(k) : static_cast<size_t>(left);
      fn(static_cast<const unsigned char*>(chunks_[k].get()), n);
      left -= n;
    }
  }

 private:
  static constexpr int kMinShift = 8;
  static constexpr int kMaxShift = 24;
  static constexpr int kGeometricChunks = kMaxShift - kMinShift;

  static size_t ChunkSize(size_t k) {
    return size_t{1} << (k < kGeometricChunks ? k + kMinShift : kMaxShift);
  }

  // Chunk k < 16 starts at 2^(k+8) - 256, so off + 256 has its top bit at
  // position k + 8; beyond the doubling chunks all are 16 MiB.
  static void Locate(uint64_t off, size_t* chunk, size_t* within, size_t* chunk_size) {
    uint64_t x = off + (uint64_t{1} << kMinShift);
    if (x < (uint64_t{1} << kMaxShift)) {
      int top = 63 - __builtin_clzll(x);
      *chunk = static_cast<size_t>(top - kMinShift);
      *within = static_cast<size_t>(x - (uint64_t{1} << top));
      *chunk_size = size_t{1} << top;
    } else {
      uint64_t rest = x - (uint64_t{1} << kMaxShift);
      *chunk = kGeometricChunks + static_cast<size_t>(rest >> kMaxShift);
      *within = static_cast<size_t>(rest & ((uint64_t{1} << kMaxShift) - 1));
      *chunk_size = size_t{1} << kMaxShift;
    }
  }

  void Grow() {
    size_t n = ChunkSize(chunks_.size());
    chunks_.emplace_back(new unsigned char[n]);
    capacity_ += n;
  }

  std::vector<std::unique_ptr<unsigned char[]>> chunks_;
  uint64_t size_ = 0;
  uint64_t capacity_ = 0;
};

}  // namespace wqstore

#endif  // WQSQL_STORE_BYTE_CHUNKS_H_
