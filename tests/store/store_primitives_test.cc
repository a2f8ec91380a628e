// Tests of the store's building blocks: CRC32C (both implementations), the
// UTF-8 checks, the name rule and the chunked byte buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/utf8.h"
#include "store/byte_chunks.h"
#include "store/crc32c.h"
#include "store/names.h"

namespace wqstore {
namespace {

TEST(StoreCrc32cTest, KnownValues) {
  EXPECT_EQ(crc32c::Value("123456789", 9), 0xE3069283u);
  EXPECT_EQ(crc32c::Value("", 0), 0u);
  std::vector<unsigned char> zeros(32, 0), ones(32, 0xFF);
  EXPECT_EQ(crc32c::Value(zeros.data(), zeros.size()), 0x8A9136AAu);
  EXPECT_EQ(crc32c::Value(ones.data(), ones.size()), 0x62A8AB43u);
  EXPECT_EQ(crc32c::ExtendPortable(0, "123456789", 9), 0xE3069283u);
}

TEST(StoreCrc32cTest, ExtendEqualsWhole) {
  const std::string s = "The quick brown fox jumps over the lazy dog, again and again.";
  for (size_t cut = 0; cut <= s.size(); cut++) {
    uint32_t a = crc32c::Value(s.data(), cut);
    EXPECT_EQ(crc32c::Extend(a, s.data() + cut, s.size() - cut), crc32c::Value(s.data(), s.size()));
  }
}

// Lengths around the three-stream block sizes and random alignments, with
// the hardware path held against the portable one.
TEST(StoreCrc32cTest, HardwareMatchesPortable) {
  if (!crc32c::HardwareAvailable()) GTEST_SKIP() << "no SSE4.2 on this processor";
  std::mt19937_64 rng(42);
  std::vector<unsigned char> buf(4 * 3 * 8192 + 64);
  for (auto& b : buf) b = static_cast<unsigned char>(rng());
  std::vector<size_t> lengths = {
      0, 1, 7, 8, 9, 255, 256, 767, 768, 769, 1000, 24575, 24576, 24577, 3 * 24576 + 800};
  for (int i = 0; i < 200; i++) lengths.push_back(rng() % (buf.size() - 16));
  for (size_t len : lengths) {
    size_t align = rng() % 16;
    uint32_t seed = static_cast<uint32_t>(rng());
    ASSERT_EQ(crc32c::ExtendHardware(seed, buf.data() + align, len),
              crc32c::ExtendPortable(seed, buf.data() + align, len))
        << "length " << len << " alignment " << align;
  }
}

TEST(StoreUtf8Test, WellFormedAndNot) {
  struct Case {
    std::string bytes;
    size_t first_bad;  // npos: valid
  };
  const size_t ok = std::string::npos;
  const Case cases[] = {
      {"", ok},
      {"plain ascii text, long enough for the word loop", ok},
      {"M\xC3\xBCller", ok},
      {"\xE2\x82\xAC 20", ok},   // U+20AC
      {"\xF0\x9F\x98\x80", ok},  // U+1F600
      {"\xF4\x8F\xBF\xBF", ok},  // U+10FFFF
      {"\xEF\xBF\xBF", ok},      // U+FFFF
      {"abc\xC0\xAF", 3},        // overlong '/'
      {"\xE0\x80\xAF", 0},       // overlong
      {"\xF0\x80\x80\xAF", 0},   // overlong
      {"\xED\xA0\x80", 0},       // surrogate U+D800
      {"\xF4\x90\x80\x80", 0},   // above U+10FFFF
      {"\xF5\x80\x80\x80", 0},
      {"\x80", 0},          // lone continuation
      {"abcdefgh\xC3", 8},  // truncated after a full word
      {"ab\xE2\x82", 2},
      {std::string("abcdefghij\0k", 12), 10},  // NUL
      {"\xFF", 0},
  };
  for (const Case& c : cases) {
    const auto* p = reinterpret_cast<const unsigned char*>(c.bytes.data());
    size_t expect = c.first_bad == ok ? c.bytes.size() : c.first_bad;
    EXPECT_EQ(FindInvalidUtf8(p, c.bytes.size()), expect) << c.bytes;
    EXPECT_EQ(IsValidUtf8Text(p, c.bytes.size()), c.first_bad == ok) << c.bytes;
  }
}

TEST(StoreUtf8Test, NameRule) {
  struct Case {
    std::string name;
    const char* why;  // null: usable
  };
  const Case cases[] = {
      {"Part", nullptr},
      {"M\xC3\xBCller", nullptr},
      {"\xF0\x9F\x98\x80", nullptr},
      {"", "empty"},
      {"a\tb", "control character at byte 1"},
      {"\x1B", "control character at byte 0"},
      {"ab\x7F", "control character at byte 2"},
      {"a\xC2\x85", "control character at byte 1"},  // U+0085
      {"a\xC2\xA0", nullptr},                        // U+00A0 is printable
      {std::string("a\0b", 3), "control character at byte 1"},
      {"a\xC3", "invalid UTF-8 at byte 1"},
      {"\xC3\xBC\xC3(", "invalid UTF-8 at byte 2"},  // after a whole character
      {"\xED\xA0\x80", "invalid UTF-8 at byte 0"},   // a surrogate
      // Invisible characters, at the edges of their ranges.
      {"a\xC2\xAC", nullptr},
      {"a\xC2\xAD", "invisible formatting character U+00AD at byte 1"},
      {"\xD8\x9B", nullptr},
      {"\xD8\x9C", "invisible formatting character U+061C at byte 0"},
      {"ab\xE2\x81\xAF", "invisible formatting character U+206F at byte 2"},
      {"\xEF\xB8\x8F", "invisible formatting character U+FE0F at byte 0"},
      {"\xEF\xB8\x90", nullptr},
      {"\xF0\x9D\x85\xBA", "invisible formatting character U+1D17A at byte 0"},
      {"\xF0\x9D\x85\xBB", nullptr},
      {"\xF3\xA0\x80\x80", "invisible formatting character U+E0000 at byte 0"},
      {"\xF3\xA0\xBF\xBF", "invisible formatting character U+E0FFF at byte 0"},
      {"\xF3\xA1\x80\x80", nullptr},
  };
  for (const Case& c : cases) {
    const Status s = CheckName(c.name);
    EXPECT_EQ(s.ok(), c.why == nullptr) << c.name;
    EXPECT_EQ(s.message(), c.why == nullptr ? "" : c.why) << c.name;
  }
}

// Pieces of odd sizes across the doubling chunks and into the fixed 16 MiB
// ones, written, overwritten across chunk edges and read back.
TEST(StoreByteChunksTest, AppendWriteReadAcrossChunks) {
  ByteChunks b;
  std::string mirror;
  std::mt19937 rng(7);
  while (mirror.size() < (size_t{40} << 20)) {
    std::string piece(1 + rng() % 70000, static_cast<char>(rng()));
    piece[piece.size() / 2] = static_cast<char>(mirror.size());  // not all alike
    b.Append(piece.data(), piece.size());
    mirror += piece;
  }
  for (uint64_t edge :
       {uint64_t{256}, uint64_t{768}, (uint64_t{1} << 24) - 256, (uint64_t{2} << 24) - 256}) {
    const char patch[] = "0123456789";
    b.Write(edge - 5, patch, 10);
    std::memcpy(&mirror[edge - 5], patch, 10);
  }
  ASSERT_EQ(b.size(), mirror.size());
  std::string joined;
  b.ForEachPiece([&](const unsigned char* p, size_t n) {
    joined.append(reinterpret_cast<const char*>(p), n);
  });
  EXPECT_TRUE(joined == mirror);
  char buf[300];
  b.Read((uint64_t{1} << 24) - 400, buf, sizeof buf);
  EXPECT_EQ(std::memcmp(buf, &mirror[(size_t{1} << 24) - 400], sizeof buf), 0);
}

}  // namespace
}  // namespace wqstore
