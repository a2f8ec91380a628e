// Writes a data set as a wqmake JSON source and C's rows as CSV. The texts
// of the data set hold only letters, digits and blanks, so neither format
// needs escapes or quotes.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "bench/outputs.h"
#include "repository/store_api.h"

namespace wqbench {
namespace {

// A file written through one large buffer; Close reports a failed write.
class TextFile {
 public:
  explicit TextFile(const std::string& path) : path_(path), f_(std::fopen(path.c_str(), "wb")) {
    if (f_ == nullptr) Fail("cannot create");
    buf_.reserve(kBuffer);
  }
  ~TextFile() {
    if (f_ != nullptr) std::fclose(f_);
  }
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  TextFile& operator<<(const std::string& s) {
    buf_ += s;
    if (buf_.size() >= kBuffer) Drain();
    return *this;
  }
  TextFile& operator<<(const char* s) { return *this << std::string(s); }
  TextFile& operator<<(char c) {
    buf_ += c;
    return *this;
  }
  TextFile& operator<<(int64_t v) { return *this << std::to_string(v); }

  void Close() {
    Drain();
    FILE* f = f_;
    f_ = nullptr;
    if (std::fclose(f) != 0) Fail("cannot write");
  }

 private:
  static constexpr size_t kBuffer = 1 << 20;

  void Drain() {
    if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size()) {
      Fail("cannot write");
    }
    buf_.clear();
  }
  [[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string(what) + " " + path_ + ": " + std::strerror(errno));
  }

  std::string path_;
  FILE* f_;
  std::string buf_;
};

const char* TypeName(int type) {
  switch (type) {
    case wqTypeString: return "string";
    case wqTypeInt: return "int";
    case wqTypeDouble: return "double";
    case wqTypeChar: return "char";
    case wqTypeBlob: return "blob";
    default: return "ref";
  }
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

void ClassHead(TextFile& f, const ClassDef& c, bool first) {
  f << (first ? "\n  " : ",\n  ") << "{ \"name\": " << Quoted(c.name)
    << ", \"number\": " << int64_t{c.number} << ",\n    \"members\": [";
  for (size_t j = 0; j < c.members.size(); ++j) {
    const MemberDef& m = c.members[j];
    f << (j == 0 ? "" : ", ") << "{ \"name\": " << Quoted(m.name)
      << ", \"type\": " << Quoted(TypeName(m.type)) << ", \"number\": " << int64_t{m.number}
      << ", \"nullable\": false }";
  }
  f << "],\n    \"objects\": [";
}

// Opens one object's entry; `id` may be empty.
void ObjectHead(TextFile& f, uint32_t i, const std::string& id) {
  f << (i == 0 ? "\n      " : ",\n      ") << "{ ";
  if (!id.empty()) f << "\"id\": " << Quoted(id) << ", ";
  f << "\"values\": { ";
}

std::string CId(uint32_t i) { return "c" + std::to_string(i); }

}  // namespace

void WriteJson(const Dataset& d, const std::string& path) {
  TextFile f(path);
  const std::vector<ClassDef>& classes = d.classes();
  const bool ids = classes.size() > kClassR;  // R refers to objects of C by id
  f << "{ \"classes\": [";
  ClassHead(f, classes[kClassC], true);
  for (uint32_t i = 0; i < d.n(); ++i) {
    const CRow r = d.MakeC(i);
    ObjectHead(f, i, ids ? CId(i) : std::string());
    f << "\"name\": " << Quoted(r.name) << ", \"id\": " << int64_t{r.id}
      << ", \"value\": " << FormatDouble(r.value)
      << ", \"flag\": " << Quoted(std::string(1, r.flag))
      << ", \"data\": " << Quoted(Hex(r.data, sizeof r.data)) << " } }";
  }
  f << "\n    ] }";
  if (classes.size() > kClassR) {
    ClassHead(f, classes[kClassR], false);
    for (uint32_t i = 0; i < classes[kClassR].object_count; ++i) {
      const RRow r = d.MakeR(i);
      ObjectHead(f, i, std::string());
      f << "\"label\": " << Quoted(r.label) << ", \"target\": " << Quoted(CId(r.target))
        << ", \"seq\": " << int64_t{r.seq} << " } }";
    }
    f << "\n    ] }";
  }
  for (size_t ci = kFirstSmallClass; ci < classes.size(); ++ci) {
    const int k = static_cast<int>(ci - kFirstSmallClass);
    const size_t members = classes[ci].members.size();
    ClassHead(f, classes[ci], false);
    for (uint32_t i = 0; i < classes[ci].object_count; ++i) {
      const SRow r = d.MakeS(k, i);
      ObjectHead(f, i, std::string());
      f << "\"title\": " << Quoted(r.title) << ", \"count\": " << int64_t{r.count};
      if (members > 2) f << ", \"weight\": " << FormatDouble(r.weight);
      if (members > 3) f << ", \"code\": " << Quoted(std::string(1, r.code));
      f << " } }";
    }
    f << "\n    ] }";
  }
  f << "\n] }\n";
  f.Close();
}

void WriteCsv(const Dataset& d, const std::string& path) {
  TextFile f(path);
  f << "name,id,value,flag,data\n";
  for (uint32_t i = 0; i < d.n(); ++i) {
    const CRow r = d.MakeC(i);
    f << r.name << ',' << int64_t{r.id} << ',' << FormatDouble(r.value) << ',' << r.flag << ','
      << Hex(r.data, sizeof r.data) << '\n';
  }
  f.Close();
}

}  // namespace wqbench
