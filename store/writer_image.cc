// The file image of a RepositoryWriter's contents, in the format of
// store/format.h. The image is written front to back in one pass: room for
// the header and the directory, whose size the classes and members give;
// then each class's records, checked for required values and checksummed as
// they pass; then the heap; and last the header and the directory with the
// checksums, at their place. Serialize writes into memory, Commit into an
// AtomicFile, so a spilled writer's bytes go from its scratch files to the
// target through one buffer.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/text.h"
#include "store/atomic_file.h"
#include "store/coding.h"
#include "store/crc32c.h"
#include "store/format.h"
#include "store/writer.h"
#include "store/writer_state.h"

namespace wqstore {

using namespace format;

namespace {

// Bytes moved at a time from the writer's buffers to the image.
constexpr size_t kPieceSize = size_t{1} << 20;

// Where the image goes: appended piece by piece, the head written last.
class StringSink {
 public:
  explicit StringSink(std::string* out) : out_(out) {}
  Status Append(const void* p, size_t n) {
    out_->append(static_cast<const char*>(p), n);
    return Status::OK();
  }
  Status WriteAt(uint64_t offset, const void* p, size_t n) {
    std::memcpy(&(*out_)[offset], p, n);
    return Status::OK();
  }

 private:
  std::string* out_;
};

class FileSink {
 public:
  explicit FileSink(AtomicFile* file) : file_(file) {}
  Status Append(const void* p, size_t n) { return file_->Append(p, n); }
  Status WriteAt(uint64_t offset, const void* p, size_t n) { return file_->WriteAt(offset, p, n); }

 private:
  AtomicFile* file_;
};

// The directory's size in bytes.
uint64_t DirectoryLength(const WriterState& s) {
  return kPrefixSize + kClassEntrySize * s.classes.size() + kMemberEntrySize * s.member_total +
         s.names_length;
}

// Writes bytes at consecutive offsets of a sink through a buffer of one
// piece, and the CRC32C of all of them.
template <class Sink>
class PieceWriter {
 public:
  PieceWriter(Sink& sink, uint64_t offset) : sink_(sink), offset_(offset) {
    piece_.reserve(kPieceSize);
  }
  // Room for n bytes (n at most a piece), zeroed, at the end.
  unsigned char* Room(size_t n, Status* status) {
    if (piece_.size() + n > kPieceSize) *status = Flush();
    piece_.resize(piece_.size() + n, 0);
    return piece_.data() + piece_.size() - n;
  }
  Status Flush() {
    crc_ = crc32c::Extend(crc_, piece_.data(), piece_.size());
    const Status written = sink_.WriteAt(offset_, piece_.data(), piece_.size());
    offset_ += piece_.size();
    piece_.clear();
    return written;
  }
  uint32_t crc() const { return crc_; }

 private:
  Sink& sink_;
  uint64_t offset_;
  std::vector<unsigned char> piece_;
  uint32_t crc_ = 0;
};

// Writes the directory at its place, piece by piece (a directory of
// millions of classes is never whole in memory), given each class's data
// CRC and the heap's; sets *dir_crc. The class entries, the member entries
// and the names come in three passes over the classes, each giving the
// names the offsets the names pass lays them at.
template <class Sink>
Status WriteDirectory(const WriterState& s, const std::vector<uint32_t>& data_crcs,
                      uint32_t heap_crc, Sink& sink, uint32_t* dir_crc) {
  PieceWriter<Sink> out(sink, kHeaderSize);
  Status status;
  unsigned char* prefix = out.Room(kPrefixSize, &status);
  EncodeFixed32(prefix + kPrefixClassCount, static_cast<uint32_t>(s.classes.size()));
  EncodeFixed32(prefix + kPrefixMemberCount, static_cast<uint32_t>(s.member_total));
  EncodeFixed64(prefix + kPrefixNamesLength, s.names_length);
  EncodeFixed32(prefix + kPrefixHeapCrc, heap_crc);
  const uint64_t dir_length = DirectoryLength(s);
  uint64_t data_offset = kHeaderSize + dir_length;
  uint32_t first_member = 0;
  uint64_t name_offset = 0;
  for (size_t i = 0; i < s.classes.size() && status.ok(); i++) {
    const WriterClass& c = *s.classes[i];
    unsigned char* e = out.Room(kClassEntrySize, &status);
    EncodeFixed32(e + kClassNumber, static_cast<uint32_t>(c.number));
    const int32_t object_size =
        c.has_object_size ? c.object_size : static_cast<int32_t>(c.record_size);
    EncodeFixed32(e + kClassObjectSize, static_cast<uint32_t>(object_size));
    EncodeFixed32(e + kClassNameOffset, static_cast<uint32_t>(name_offset));
    EncodeFixed32(e + kClassNameLength, static_cast<uint32_t>(c.name.size()));
    EncodeFixed32(e + kClassFirstMember, first_member);
    EncodeFixed32(e + kClassMemberCount, static_cast<uint32_t>(c.members.size()));
    EncodeFixed32(e + kClassRecordSize, c.stride());
    EncodeFixed32(e + kClassObjectCount, c.object_count);
    EncodeFixed64(e + kClassDataOffset, data_offset);
    EncodeFixed32(e + kClassDataCrc, data_crcs[i]);
    data_offset += c.records_size();
    first_member += static_cast<uint32_t>(c.members.size());
    name_offset += c.name.size() + 1;
    for (const WriterMember& m : c.members) name_offset += m.name.size() + 1;
  }
  name_offset = 0;
  for (size_t i = 0; i < s.classes.size() && status.ok(); i++) {
    const WriterClass& c = *s.classes[i];
    name_offset += c.name.size() + 1;
    for (const WriterMember& m : c.members) {
      unsigned char* me = out.Room(kMemberEntrySize, &status);
      EncodeFixed32(me + kMemberNumber, static_cast<uint32_t>(m.number));
      me[kMemberType] = m.type;
      me[kMemberFlags] = m.nullable ? kFlagNullable : 0;
      EncodeFixed32(me + kMemberFieldOffset, m.field_offset);
      EncodeFixed32(me + kMemberNameOffset, static_cast<uint32_t>(name_offset));
      EncodeFixed32(me + kMemberNameLength, static_cast<uint32_t>(m.name.size()));
      name_offset += m.name.size() + 1;
    }
  }
  // Each name with its NUL (Room's bytes are zero).
  auto put_name = [&](const std::string& name) {
    for (size_t at = 0; at <= name.size() && status.ok();) {
      const size_t n = std::min(name.size() + 1 - at, kPieceSize);
      std::memcpy(out.Room(n, &status), name.data() + at, std::min(n, name.size() - at));
      at += n;
    }
  };
  for (size_t i = 0; i < s.classes.size() && status.ok(); i++) {
    put_name(s.classes[i]->name);
    for (const WriterMember& m : s.classes[i]->members) put_name(m.name);
  }
  WQ_RETURN_IF_ERROR(status);
  WQ_RETURN_IF_ERROR(out.Flush());
  *dir_crc = out.crc();
  return Status::OK();
}

std::string BuildHeader(uint64_t dir_length, uint32_t dir_crc, uint64_t heap_length,
                        uint64_t file_size) {
  unsigned char h[kHeaderSize] = {};
  std::memcpy(h + kHeaderMagic, kMagic, sizeof kMagic);
  EncodeFixed32(h + kHeaderVersion, kVersion);
  EncodeFixed32(h + kHeaderHeaderSize, kHeaderSize);
  EncodeFixed64(h + kHeaderFileSize, file_size);
  EncodeFixed64(h + kHeaderDirOffset, kHeaderSize);
  EncodeFixed64(h + kHeaderDirLength, dir_length);
  EncodeFixed64(h + kHeaderHeapOffset, file_size - heap_length);
  EncodeFixed64(h + kHeaderHeapLength, heap_length);
  EncodeFixed32(h + kHeaderDirCrc, dir_crc);
  EncodeFixed32(h + kHeaderCrc, crc32c::Value(h, kHeaderCrc));
  return std::string(reinterpret_cast<const char*>(h), sizeof h);
}

// Non-nullable strings and references start out null in every new object;
// each must have been set before the file is written. Checks the records
// of objects first, first + 1, ... in `records`.
Status CheckRequiredValues(const WriterClass& c, const unsigned char* records, uint32_t first,
                           uint32_t count) {
  for (const WriterMember& m : c.members) {
    if (m.nullable || !CanBeNull(m.type)) continue;
    const unsigned char* field = records + m.field_offset;
    for (uint32_t k = 0; k < count; k++, field += c.stride()) {
      const bool null = m.kind == ValueKind::kString ? DecodeFixed64(field) == 0
                                                     : DecodeFixed32(field) == kUnsetIndex;
      if (null) {
        return Status::Error(Status::Kind::kInvalidArgument,
                             "class " + Quoted(c.name) + ", object " + Num(first + k) +
                                 ", member " + Quoted(m.name) +
                                 " does not allow null but has no value");
      }
    }
  }
  return Status::OK();
}

template <class Sink>
Status WriteImage(WriterState& s, Sink& sink) {
  if (s.names_length > kMaxNamesLength) {
    return Status::Error(Status::Kind::kInvalidArgument,
                         "names of classes and members too long in total");
  }
  const uint64_t dir_length = DirectoryLength(s);
  std::vector<unsigned char> piece;
  // Room for the header and the directory, written at the end.
  for (uint64_t left = kHeaderSize + dir_length; left > 0;) {
    piece.assign(static_cast<size_t>(std::min<uint64_t>(left, kPieceSize)), 0);
    WQ_RETURN_IF_ERROR(sink.Append(piece.data(), piece.size()));
    left -= piece.size();
  }
  std::vector<uint32_t> data_crcs;
  data_crcs.reserve(s.classes.size());
  uint64_t data_length = 0;
  for (const auto& cp : s.classes) {
    WriterClass& c = *cp;
    const uint32_t batch = static_cast<uint32_t>(std::max<size_t>(1, kPieceSize / c.stride()));
    uint32_t crc = 0;
    for (uint32_t first = 0; first < c.object_count;) {
      const uint32_t count = std::min(batch, c.object_count - first);
      piece.resize(size_t{count} * c.stride());
      WQ_RETURN_IF_ERROR(c.records->Read(c.records_start + uint64_t{first} * c.stride(),
                                         piece.data(), piece.size()));
      WQ_RETURN_IF_ERROR(CheckRequiredValues(c, piece.data(), first, count));
      crc = crc32c::Extend(crc, piece.data(), piece.size());
      WQ_RETURN_IF_ERROR(sink.Append(piece.data(), piece.size()));
      first += count;
    }
    data_crcs.push_back(crc);
    data_length += c.records_size();
  }
  SpillBuffer& heap = *s.heap;
  uint32_t heap_crc = 0;
  for (uint64_t at = 0; at < heap.size();) {
    piece.resize(static_cast<size_t>(std::min<uint64_t>(kPieceSize, heap.size() - at)));
    WQ_RETURN_IF_ERROR(heap.Read(at, piece.data(), piece.size()));
    heap_crc = crc32c::Extend(heap_crc, piece.data(), piece.size());
    WQ_RETURN_IF_ERROR(sink.Append(piece.data(), piece.size()));
    at += piece.size();
  }
  uint32_t dir_crc = 0;
  WQ_RETURN_IF_ERROR(WriteDirectory(s, data_crcs, heap_crc, sink, &dir_crc));
  const uint64_t file_size = kHeaderSize + dir_length + data_length + heap.size();
  const std::string header = BuildHeader(dir_length, dir_crc, heap.size(), file_size);
  return sink.WriteAt(0, header.data(), header.size());
}

}  // namespace

Status RepositoryWriter::Serialize(std::string* image) const {
  image->clear();
  if (state_->spent) return Spent();
  StringSink sink(image);
  const Status written = WriteImage(*state_, sink);
  if (!written.ok()) image->clear();
  return written;
}

Status RepositoryWriter::Commit(const std::string& path) {
  if (state_->spent) return Spent();
  std::unique_ptr<AtomicFile> file;
  WQ_RETURN_IF_ERROR(AtomicFile::Create(path, &file));
  FileSink sink(file.get());
  WQ_RETURN_IF_ERROR(WriteImage(*state_, sink));
  if (state_->spilled_records != nullptr) {
    // Closing the unnamed scratch files drops their pages unwritten.
    state_.reset(new WriterState());
    state_->spent = true;
  }
  return file->Commit();
}

}  // namespace wqstore
