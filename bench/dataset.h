// The benchmark's data set: its classes, their members and the value of
// every field, worked out from a seed and an object count alone. Each value
// is a pure function of (seed, class, object index), so the repository, the
// SQLite database, the JSON source and the CSV file written from one data set
// hold the same rows whatever order they are written in.
#ifndef WQSQL_BENCH_DATASET_H_
#define WQSQL_BENCH_DATASET_H_

#include <cstdint>
#include <string>
#include <vector>

namespace wqbench {

// One member of a class of the data set. Its position in the class's member
// list is also its SQLite column position.
struct MemberDef {
  const char* name;
  int32_t number;
  int type;  // a wqDataType code
};

struct ClassDef {
  std::string name;
  int32_t number;
  std::vector<MemberDef> members;
  uint32_t object_count;
};

// The values of one object of the big class C.
struct CRow {
  std::string name;  // 5 to 40 characters: ASCII letters, digits, blanks
  int32_t id;
  double value;
  char flag;  // an ASCII letter
  unsigned char data[8];
};

// The values of one object of R: a label and a reference to an object of C.
struct RRow {
  std::string label;
  uint32_t target;  // index of the referenced object of C
  int32_t seq;
};

// The values of one object of a small class S0..S9. Only the first
// `member_count` of these fields are members of the class.
struct SRow {
  std::string title;
  int32_t count;
  double weight;
  char code;
};

constexpr int kSmallClasses = 10;

class Dataset {
 public:
  // `with_extras` false leaves out R and S0..S9, so the data set is class C
  // alone (used for the tiny repository and the import sources).
  Dataset(uint64_t seed, uint32_t n, bool with_extras);

  uint64_t seed() const { return seed_; }
  uint32_t n() const { return n_; }
  // C first, then R, then S0..S9: the store's order of classes.
  const std::vector<ClassDef>& classes() const { return classes_; }

  CRow MakeC(uint32_t i) const;
  RRow MakeR(uint32_t i) const;
  SRow MakeS(int k, uint32_t i) const;

 private:
  uint64_t seed_;
  uint32_t n_;
  std::vector<ClassDef> classes_;
};

// Indexes of the classes in Dataset::classes().
constexpr size_t kClassC = 0;
constexpr size_t kClassR = 1;
constexpr size_t kFirstSmallClass = 2;

// Shortest decimal text that reads back as exactly `v` ("%.15g" when that
// round-trips, "%.17g" otherwise).
std::string FormatDouble(double v);

// Lower-case hexadecimal digits of `n` bytes, two per byte, no separators.
std::string Hex(const unsigned char* p, size_t n);

}  // namespace wqbench

#endif  // WQSQL_BENCH_DATASET_H_
