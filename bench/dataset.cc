// Values of the benchmark's data set, drawn from a counter-based generator:
// every object gets its own stream seeded from (seed, class, index).
#include "bench/dataset.h"

#include <cstdio>
#include <cstdlib>

#include "repository/store_api.h"

namespace wqbench {
namespace {

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// A splitmix64 stream for the fields of one object.
class Stream {
 public:
  Stream(uint64_t seed, uint64_t tag, uint64_t index)
      : state_(Mix(seed ^ Mix((tag << 40) ^ index))) {}
  uint64_t Next() { return Mix(state_ += 0x9E3779B97F4A7C15ull); }
  // Uniform in [0, n); the bias of the modulo is irrelevant here.
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

 private:
  uint64_t state_;
};

constexpr char kAlnum[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr uint32_t kAlnumCount = sizeof kAlnum - 1;
constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Letters and digits with about one blank in eight, never a blank at either
// end, so no tool on the way trims the text.
std::string Text(Stream& s, uint32_t min_len, uint32_t max_len) {
  const uint32_t len = min_len + s.Below(max_len - min_len + 1);
  std::string t(len, ' ');
  for (uint32_t j = 0; j < len; ++j) {
    const bool edge = j == 0 || j + 1 == len;
    if (!edge && s.Below(8) == 0) continue;
    t[j] = kAlnum[s.Below(kAlnumCount)];
  }
  return t;
}

// Values with three decimals over a wide range of magnitudes, negative too.
double Value(Stream& s) {
  const int64_t scales[] = {1000, 100000, 10000000, 1000000000};
  const int64_t scale = scales[s.Below(4)];
  const int64_t m = static_cast<int64_t>(s.Next() % static_cast<uint64_t>(2 * scale + 1));
  return static_cast<double>(m - scale) / 1000.0;
}

}  // namespace

Dataset::Dataset(uint64_t seed, uint32_t n, bool with_extras) : seed_(seed), n_(n) {
  classes_.push_back({"C",
                      1,
                      {{"name", 3, wqTypeString},
                       {"id", 1, wqTypeInt},
                       {"value", 2, wqTypeDouble},
                       {"flag", 4, wqTypeChar},
                       {"data", 5, wqTypeBlob}},
                      n});
  if (!with_extras) return;
  classes_.push_back(
      {"R",
       2,
       {{"label", 3, wqTypeString}, {"target", 1, wqTypeObjectRef}, {"seq", 2, wqTypeInt}},
       n / 10});
  const MemberDef small[] = {{"title", 1, wqTypeString},
                             {"count", 2, wqTypeInt},
                             {"weight", 3, wqTypeDouble},
                             {"code", 4, wqTypeChar}};
  for (int k = 0; k < kSmallClasses; ++k) {
    ClassDef c{"S" + std::to_string(k), 10 + k, {}, static_cast<uint32_t>(3 + k)};
    c.members.assign(small, small + 2 + k % 3);
    classes_.push_back(c);
  }
}

CRow Dataset::MakeC(uint32_t i) const {
  Stream s(seed_, 1, i);
  CRow r;
  r.name = Text(s, 5, 40);
  r.id = static_cast<int32_t>(static_cast<uint32_t>(s.Next()));
  r.value = Value(s);
  r.flag = kLetters[s.Below(52)];
  const uint64_t bytes = s.Next();
  for (int j = 0; j < 8; ++j) r.data[j] = static_cast<unsigned char>(bytes >> (8 * j));
  return r;
}

RRow Dataset::MakeR(uint32_t i) const {
  Stream s(seed_, 2, i);
  RRow r;
  r.label = "r" + std::to_string(i) + " " + Text(s, 5, 12);
  r.target = n_ > 0 ? s.Below(n_) : 0;
  r.seq = static_cast<int32_t>(i);
  return r;
}

SRow Dataset::MakeS(int k, uint32_t i) const {
  Stream s(seed_, 10 + static_cast<uint64_t>(k), i);
  SRow r;
  r.title = Text(s, 5, 20);
  r.count = static_cast<int32_t>(s.Below(100000));
  r.weight = Value(s);
  r.code = kLetters[s.Below(52)];
  return r;
}

std::string FormatDouble(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.15g", v);
  if (std::strtod(b, nullptr) != v) std::snprintf(b, sizeof b, "%.17g", v);
  return b;
}

std::string Hex(const unsigned char* p, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string h(2 * n, '0');
  for (size_t j = 0; j < n; ++j) {
    h[2 * j] = kDigits[p[j] >> 4];
    h[2 * j + 1] = kDigits[p[j] & 15];
  }
  return h;
}

}  // namespace wqbench
