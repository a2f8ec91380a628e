// Fuzz target: arbitrary bytes as a repository file, read through the
// store's public face as the SQL extension and the Python package read it:
// open, every class and member, every value of every object by its type and
// by a wrong one, the column views, identities there and back, references
// followed, and validation. Nothing may crash or read out of bounds; a read
// of the member's own kind answers or finds the file damaged, every other
// read is a type mismatch; a reference that reads as set leads to an object
// the repository gives back.
//
// The bytes are taken as every repository target takes them (fuzz_util.h).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "fuzz/fuzz_util.h"
#include "wqstore/wqstore.h"

namespace {

volatile uint64_t g_sink;

}  // namespace

// Ends the run, naming the line of the check that failed.
#define Check(ok)                                                       \
  do {                                                                  \
    if (!(ok)) {                                                        \
      std::fprintf(stderr, "public_fuzzer.cc:%d: %s\n", __LINE__, #ok); \
      std::abort();                                                     \
    }                                                                   \
  } while (0)

namespace {

// An identity leads back to its object, unless a damaged file gives an
// earlier class the same number (which validation refuses): the number
// then names that class.
void ExpectFoundById(const wqstore::Repository& repo, const wqstore::Object& o) {
  wqstore::ClassDef owner;
  Check(repo.FindClassByNumber(o.id().class_number, &owner).ok());
  if (owner.index() != o.class_def().index()) return;
  wqstore::Object back;
  Check(repo.GetObject(o.id(), &back).ok() && back.id() == o.id());
}

void ReadObject(const wqstore::Repository& repo, const wqstore::ClassDef& cls,
                const wqstore::Object& o) {
  ExpectFoundById(repo, o);
  for (int32_t mi = 0; mi < cls.member_count(); mi++) {
    const wqstore::Member m = cls.member(mi);
    int32_t i;
    double d;
    unsigned char ch;
    std::optional<std::string_view> s;
    std::string_view bytes;
    std::optional<wqstore::ObjectId> to;
    const wqstore::Result results[] = {o.GetInt(m, &i),      o.GetDouble(m, &d),
                                       o.GetChar(m, &ch),    o.GetString(m, &s),
                                       o.GetBlob(m, &bytes), o.GetReference(m, &to)};
    // The read of the member's own kind answers, or finds the file damaged
    // (a string or reference leading nowhere); every other read is a type
    // mismatch.
    static constexpr wqstore::DataType kKinds[] = {
        wqstore::DataType::kInt,    wqstore::DataType::kDouble, wqstore::DataType::kChar,
        wqstore::DataType::kString, wqstore::DataType::kBlob,   wqstore::DataType::kReference};
    for (int k = 0; k < 6; k++) {
      const wqstore::Result& r = results[k];
      if (kKinds[k] == m.type()) {
        Check(r.ok() || r.code() == wqstore::Result::kDamaged);
      } else {
        Check(r.code() == wqstore::Result::kTypeMismatch);
      }
      Check(r.ok() || !r.message().empty());
    }
    if (results[3].ok() && s) {
      for (char c : *s) g_sink += static_cast<unsigned char>(c);
    }
    if (results[4].ok()) {
      for (char c : bytes) g_sink += static_cast<unsigned char>(c);
    }
    if (results[5].ok() && to) {
      wqstore::Object target;
      Check(o.GetReferencedObject(m, &target).ok() && target.id() == *to);
      ExpectFoundById(repo, target);
    }
    g_sink += static_cast<uint64_t>(i) + ch;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string path = RepositoryBytesAsFile(data, size);
  std::unique_ptr<wqstore::Repository> repo;
  const wqstore::Result opened = wqstore::Repository::Open(path, &repo);
  if (!opened.ok()) {
    Check(opened.code() != wqstore::Result::kOk && !opened.message().empty());
    return 0;
  }
  for (int32_t ci = 0; ci < repo->class_count(); ci++) {
    const wqstore::ClassDef cls = repo->class_at(ci);
    wqstore::ClassDef found;
    Check(repo->FindClass(cls.name(), &found).ok());
    for (int32_t mi = 0; mi < cls.member_count(); mi++) {
      wqstore::ColumnView view;
      if (cls.GetColumn(cls.member(mi), &view).ok() && view.count > 0) {
        const unsigned char* last = view.data + view.stride * (view.count - 1);
        for (size_t b = 0; b < view.width; b++) g_sink += view.data[b] + last[b];
      }
    }
    for (const wqstore::Object o : cls.objects()) ReadObject(*repo, cls, o);
  }
  g_sink += repo->Validate().ok() ? 1 : 0;
  return 0;
}
