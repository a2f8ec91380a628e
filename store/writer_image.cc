// The file image of a RepositoryWriter's contents, in the format of
// store/format.h: the check that every required value was set, the
// directory and the header, then the records of each class and the heap as
// the writer holds them. Serialize assembles the image in memory; Commit
// streams it into an AtomicFile.
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

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The CRC32C of the bytes held in `b`: a class's records or the heap.
uint32_t ChunksCrc(const ByteChunks& b) {
  uint32_t crc = 0;
  b.ForEachPiece([&crc](const unsigned char* p, size_t n) { crc = crc32c::Extend(crc, p, n); });
  return crc;
}

// Non-nullable strings and references start out null in every new object;
// each must have been set before the file is written.
Status CheckRequiredValues(const WriterState& s) {
  for (const auto& cp : s.classes) {
    const WriterClass& c = *cp;
    for (const WriterMember& m : c.members) {
      if (m.nullable || !CanBeNull(m.type)) continue;
      unsigned char field[8];
      for (uint32_t oi = 0; oi < c.object_count; oi++) {
        c.records.Read(uint64_t{oi} * c.stride() + m.field_offset, field, sizeof field);
        const bool null = m.kind == ValueKind::kString ? DecodeFixed64(field) == 0
                                                       : DecodeFixed32(field) == kUnsetIndex;
        if (null) {
          return Status::Error("class " + Quoted(c.name) + ", object " + Num(oi) + ", member " +
                               Quoted(m.name) + " does not allow null but has no value");
        }
      }
    }
  }
  return Status::OK();
}

// The directory: prefix, class table, member table and names.
Status BuildDirectory(const WriterState& s, std::string* dir) {
  std::string names;
  std::string class_table;
  std::string member_table;
  uint64_t data_offset = 0;  // relative to the end of the directory, fixed up below
  uint32_t first_member = 0;
  std::vector<uint64_t> relative_offsets;
  for (const auto& cp : s.classes) {
    const WriterClass& c = *cp;
    unsigned char e[kClassEntrySize] = {};
    EncodeFixed32(e + kClassNumber, static_cast<uint32_t>(c.number));
    const int32_t object_size =
        c.has_object_size ? c.object_size : static_cast<int32_t>(c.record_size);
    EncodeFixed32(e + kClassObjectSize, static_cast<uint32_t>(object_size));
    EncodeFixed32(e + kClassNameOffset, static_cast<uint32_t>(names.size()));
    EncodeFixed32(e + kClassNameLength, static_cast<uint32_t>(c.name.size()));
    names.append(c.name).push_back('\0');
    EncodeFixed32(e + kClassFirstMember, first_member);
    EncodeFixed32(e + kClassMemberCount, static_cast<uint32_t>(c.members.size()));
    EncodeFixed32(e + kClassRecordSize, c.stride());
    EncodeFixed32(e + kClassObjectCount, c.object_count);
    relative_offsets.push_back(data_offset);
    EncodeFixed32(e + kClassDataCrc, ChunksCrc(c.records));
    class_table.append(reinterpret_cast<const char*>(e), sizeof e);
    data_offset += c.records.size();
    first_member += static_cast<uint32_t>(c.members.size());
    for (const WriterMember& m : c.members) {
      unsigned char me[kMemberEntrySize] = {};
      EncodeFixed32(me + kMemberNumber, static_cast<uint32_t>(m.number));
      me[kMemberType] = m.type;
      me[kMemberFlags] = m.nullable ? kFlagNullable : 0;
      EncodeFixed32(me + kMemberFieldOffset, m.field_offset);
      EncodeFixed32(me + kMemberNameOffset, static_cast<uint32_t>(names.size()));
      EncodeFixed32(me + kMemberNameLength, static_cast<uint32_t>(m.name.size()));
      names.append(m.name).push_back('\0');
      member_table.append(reinterpret_cast<const char*>(me), sizeof me);
    }
  }
  if (names.size() > UINT32_MAX) {
    return Status::Error("names of classes and members too long in total");
  }
  const uint64_t dir_length = kPrefixSize + class_table.size() + member_table.size() + names.size();
  const uint64_t data_start = kHeaderSize + dir_length;
  for (size_t i = 0; i < s.classes.size(); i++) {
    EncodeFixed64(&class_table[i * kClassEntrySize + kClassDataOffset],
                  data_start + relative_offsets[i]);
  }
  unsigned char prefix[kPrefixSize] = {};
  EncodeFixed32(prefix + kPrefixClassCount, static_cast<uint32_t>(s.classes.size()));
  EncodeFixed32(prefix + kPrefixMemberCount, first_member);
  EncodeFixed64(prefix + kPrefixNamesLength, names.size());
  EncodeFixed32(prefix + kPrefixHeapCrc, ChunksCrc(s.heap));
  dir->assign(reinterpret_cast<const char*>(prefix), sizeof prefix);
  dir->reserve(dir_length);
  *dir += class_table;
  *dir += member_table;
  *dir += names;
  return Status::OK();
}

std::string BuildHeader(const std::string& dir, uint64_t heap_length, uint64_t file_size) {
  unsigned char h[kHeaderSize] = {};
  std::memcpy(h + kHeaderMagic, kMagic, sizeof kMagic);
  EncodeFixed32(h + kHeaderVersion, kVersion);
  EncodeFixed32(h + kHeaderHeaderSize, kHeaderSize);
  EncodeFixed64(h + kHeaderFileSize, file_size);
  EncodeFixed64(h + kHeaderDirOffset, kHeaderSize);
  EncodeFixed64(h + kHeaderDirLength, dir.size());
  EncodeFixed64(h + kHeaderHeapOffset, file_size - heap_length);
  EncodeFixed64(h + kHeaderHeapLength, heap_length);
  EncodeFixed32(h + kHeaderDirCrc, crc32c::Value(dir.data(), dir.size()));
  EncodeFixed32(h + kHeaderCrc, crc32c::Value(h, kHeaderCrc));
  return std::string(reinterpret_cast<const char*>(h), sizeof h);
}

// The header and directory of the image; the records and the heap follow
// them, in pieces from ForEachDataPiece.
struct ImageHead {
  std::string header;
  std::string directory;
  uint64_t file_size;
};

Status LayOut(const WriterState& s, ImageHead* head) {
  WQ_RETURN_IF_ERROR(CheckRequiredValues(s));
  WQ_RETURN_IF_ERROR(BuildDirectory(s, &head->directory));
  uint64_t data_length = 0;
  for (const auto& c : s.classes) data_length += c->records.size();
  head->file_size = kHeaderSize + head->directory.size() + data_length + s.heap.size();
  head->header = BuildHeader(head->directory, s.heap.size(), head->file_size);
  return Status::OK();
}

// Calls fn(bytes, length) for every class's records and then the heap.
template <class Fn>
void ForEachDataPiece(const WriterState& s, Fn&& fn) {
  for (const auto& c : s.classes) c->records.ForEachPiece(fn);
  s.heap.ForEachPiece(fn);
}

}  // namespace

Status RepositoryWriter::Serialize(std::string* image) const {
  ImageHead head;
  WQ_RETURN_IF_ERROR(LayOut(*state_, &head));
  image->clear();
  image->reserve(head.file_size);
  *image += head.header;
  *image += head.directory;
  ForEachDataPiece(*state_, [image](const unsigned char* p, size_t n) {
    image->append(reinterpret_cast<const char*>(p), n);
  });
  return Status::OK();
}

void RepositoryWriter::Commit(const std::string& path) const {
  auto write = [this, &path]() -> Status {
    ImageHead head;
    WQ_RETURN_IF_ERROR(LayOut(*state_, &head));
    std::unique_ptr<AtomicFile> file;
    WQ_RETURN_IF_ERROR(AtomicFile::Create(path, &file));
    WQ_RETURN_IF_ERROR(file->Append(head.header.data(), head.header.size()));
    WQ_RETURN_IF_ERROR(file->Append(head.directory.data(), head.directory.size()));
    Status written;
    ForEachDataPiece(*state_, [&](const unsigned char* p, size_t n) {
      if (written.ok()) written = file->Append(p, n);
    });
    WQ_RETURN_IF_ERROR(written);
    return file->Commit();
  };
  const Status done = write();
  if (!done.ok()) throw awq_StoreError(done.message());
}

}  // namespace wqstore
