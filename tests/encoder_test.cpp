#include "package/encoder.h"

#include <gtest/gtest.h>
#include <string.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "package/decompress.h"
#include "package/member.h"
#include "package/package.h"
#include "package/writer.h"
#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

const int kLevels[] = {EncodeFast, EncodeDefault, EncodeMax};

std::vector<uint8_t> Random(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

std::vector<uint8_t> Text(size_t n) {
  static const char* const kWords[] = {
      "the ",  "update ", "writes ", "each ", "member ", "into ", "folder ", "game ",
      "data ", "when ",   "newer ",  "disc ", "copy ",   "of ",   "a ",      "file\r\n"};
  std::mt19937 rng(99);
  std::string s;
  while (s.size() < n) s += kWords[rng() % 16];
  s.resize(n);
  return Bytes(s);
}

// Records of small integers that drift, as game tables hold.
std::vector<uint8_t> Records(size_t n) {
  std::mt19937 rng(5);
  std::vector<uint8_t> v;
  uint32_t id = 1000;
  while (v.size() < n) {
    const uint32_t fields[4] = {id++, static_cast<uint32_t>(rng() % 8),
                                static_cast<uint32_t>(100 + rng() % 16), 0};
    for (uint32_t f : fields) {
      for (int k = 0; k < 4; k++) v.push_back(static_cast<uint8_t>(f >> (8 * k)));
    }
  }
  v.resize(n);
  return v;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<uint8_t> Repeat(const std::vector<uint8_t>& unit, int times) {
  std::vector<uint8_t> v;
  for (int i = 0; i < times; i++) v.insert(v.end(), unit.begin(), unit.end());
  return v;
}

struct Case {
  const char* what;
  std::vector<uint8_t> data;
};

std::vector<Case> Inputs() {
  const std::vector<uint8_t> window = Random(8192, 1);
  const std::vector<uint8_t> beyond = Random(8193, 2);
  return {
      {"empty", {}},
      {"one byte", {0x41}},
      {"two equal bytes", {7, 7}},
      {"three bytes", {1, 2, 3}},
      {"run of zeros", std::vector<uint8_t>(40000, 0)},
      {"run one past the longest copy", std::vector<uint8_t>(1 + 283, 'a')},
      {"period 2", Repeat(Bytes("ab"), 5000)},
      {"period 3", Repeat(Bytes("xyz"), 5000)},
      {"period 7", Repeat(Bytes("1234567"), 3000)},
      {"text", Text(50000)},
      {"records", Records(50000)},
      {"incompressible", Random(20000, 3)},
      {"exactly the window", window},
      {"repeat at the farthest distance", Concat(window, window)},
      {"repeat one byte beyond reach", Concat(beyond, beyond)},
      {"repeats longer than the longest copy", Repeat(Random(1000, 4), 6)},
      {"text then repeat from far back", Concat(Concat(Text(3000), Random(8000, 6)), Text(3000))},
      {"window edges", Concat(Random(8191, 7), Random(8193, 8))},
  };
}

// Decodes into blocks of exactly the right sizes, so that the sanitizers see any stray access.
std::vector<uint8_t> Decode(const std::vector<uint8_t>& stream, size_t size, uint32_t* consumed) {
  std::unique_ptr<uint8_t[]> in(new uint8_t[stream.size()]);  // a stream is never empty
  std::copy(stream.begin(), stream.end(), in.get());
  std::unique_ptr<uint8_t[]> out(new uint8_t[size + (size == 0 ? 1 : 0)]);
  uint32_t produced = 0;
  const DecodeStatus status =
      DecodeStream(out.get(), static_cast<uint32_t>(size), in.get(),
                   static_cast<uint32_t>(stream.size()), &produced, consumed);
  EXPECT_EQ(status, DecodeOk) << DecodeStatusText(status);
  return std::vector<uint8_t>(out.get(), out.get() + produced);
}

TEST(Encoder, RoundTripsAtEveryLevel) {
  for (const Case& c : Inputs()) {
    for (int level : kLevels) {
      std::vector<uint8_t> stream;
      ASSERT_EQ(EncodeBlock(c.data.data(), static_cast<uint32_t>(c.data.size()), level, &stream),
                1);
      uint32_t consumed = 0;
      EXPECT_EQ(Decode(stream, c.data.size(), &consumed), c.data) << c.what << " level " << level;
      EXPECT_EQ(consumed, stream.size()) << c.what << ": the end marker ends the stream";
      EXPECT_LE(stream.size(), MaxEncodedSize(static_cast<uint32_t>(c.data.size()))) << c.what;
    }
  }
}

TEST(Encoder, SameInputAndLevelGiveTheSameStream) {
  const std::vector<uint8_t> data = Concat(Text(20000), Records(20000));
  for (int level : kLevels) {
    std::vector<uint8_t> a, b;
    EncodeBlock(data.data(), static_cast<uint32_t>(data.size()), level, &a);
    b.assign(3, 0xCC);  // the previous content of the output does not matter
    EncodeBlock(data.data(), static_cast<uint32_t>(data.size()), level, &b);
    EXPECT_EQ(a, b) << level;
  }
}

TEST(Encoder, FindsTheMatchesTheFormatAllows) {
  struct Expect {
    const char* what;
    std::vector<uint8_t> data;
    size_t most;  // bytes no level's stream may exceed
  };
  const std::vector<uint8_t> window = Random(8192, 11);
  const std::vector<uint8_t> beyond = Random(8193, 12);
  // Random bytes cost 9 bits each as literals; a second copy at distance 8192 costs 25 bits per
  // 282 bytes, one at 8193 cannot be reached and costs the literals again.
  const std::vector<Expect> cases = {
      {"repeat at distance 8192", Concat(window, window), 8192 * 9 / 8 + 200},
      {"zeros", std::vector<uint8_t>(100000, 0), 100000 / 282 * 25 / 8 + 64},
  };
  for (const Expect& c : cases) {
    for (int level : kLevels) {
      std::vector<uint8_t> stream;
      EncodeBlock(c.data.data(), static_cast<uint32_t>(c.data.size()), level, &stream);
      EXPECT_LE(stream.size(), c.most) << c.what << " level " << level;
    }
  }
  std::vector<uint8_t> far = Concat(beyond, beyond);
  std::vector<uint8_t> stream;
  EncodeBlock(far.data(), static_cast<uint32_t>(far.size()), EncodeMax, &stream);
  EXPECT_GE(stream.size(), far.size()) << "no copy may reach 8193 bytes back";
}

TEST(Encoder, HigherLevelsAreNoLarger) {
  // The maximum level's parse is the cheapest for the bits it counts; flag-word rounding can
  // cost it at most the last word.
  for (const Case& c : Inputs()) {
    size_t sizes[3];
    for (int i = 0; i < 3; i++) {
      std::vector<uint8_t> stream;
      EncodeBlock(c.data.data(), static_cast<uint32_t>(c.data.size()), kLevels[i], &stream);
      sizes[i] = stream.size();
    }
    EXPECT_LE(sizes[2], sizes[0] + 4) << c.what;
    EXPECT_LE(sizes[2], sizes[1] + 4) << c.what;
  }
}

// The bits a stream spends: code bits plus 8 per field byte, counted by walking its tokens the
// way the decoder reads them, up to and including the end marker.
uint64_t StreamBits(const std::vector<uint8_t>& s) {
  size_t ip = 0;
  uint32_t word = 0, left = 0;
  uint64_t bits = 0;
  auto bit = [&]() -> uint32_t {
    if (left == 0) {
      word =
          s[ip] | (s[ip + 1] << 8) | (s[ip + 2] << 16) | (static_cast<uint32_t>(s[ip + 3]) << 24);
      ip += 4;
      left = 32;
    }
    left--;
    bits++;
    return (word >> left) & 1;
  };
  auto bitsOf = [&](int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; i++) v = (v << 1) | bit();
    return v;
  };
  auto byte = [&]() -> uint32_t {
    bits += 8;
    return s[ip++];
  };
  for (;;) {
    if (bit()) {
      byte();
    } else if (bit()) {
      const uint32_t wide = bit();
      const uint32_t b = byte();
      if (wide && bitsOf(3) == 7 && b == 255) return bits;
    } else {
      int prefix = 0;
      while (prefix < 4 && !bit()) prefix++;
      const int extra[] = {1, 1, 2, 3, 4};
      byte();
      bitsOf(extra[prefix]);
      int row = 0;
      while (row < 5 && !bit()) row++;
      const int lengthExtra[] = {0, 0, 1, 2, 4, 0};
      bitsOf(lengthExtra[row]);
      if (row == 5) byte();
    }
  }
}

// The fewest bits any parse can spend, by trying every copy the format allows.
uint64_t CheapestParseBits(const std::vector<uint8_t>& data) {
  const size_t n = data.size();
  std::vector<uint64_t> cost(n + 1, ~0ull);
  cost[0] = 0;
  for (size_t i = 0; i < n; i++) {
    cost[i + 1] = std::min(cost[i + 1], cost[i] + 9);
    for (size_t d = 1; d <= std::min<size_t>(i, 8192); d++) {
      size_t longest = 0;
      while (longest < 282 && i + longest < n && data[i + longest] == data[i + longest - d]) {
        longest++;
      }
      for (size_t l = 2; l <= longest; l++) {
        uint64_t bits;
        if (l == 2) {
          if (d > 2303) continue;
          bits = d <= 256 ? 11 : 14;
        } else {
          const uint64_t distanceBits = d <= 512    ? 10
                                        : d <= 1024 ? 11
                                        : d <= 2048 ? 13
                                        : d <= 4096 ? 15
                                                    : 16;
          const uint64_t lengthBits = l == 3    ? 1
                                      : l == 4  ? 2
                                      : l <= 6  ? 4
                                      : l <= 10 ? 6
                                      : l <= 26 ? 9
                                                : 13;
          bits = 2 + distanceBits + lengthBits;
        }
        cost[i + l] = std::min(cost[i + l], cost[i] + bits);
      }
    }
  }
  return cost[n] + 14;  // and the end marker
}

TEST(Encoder, MaximumLevelSpendsTheFewestBits) {
  const std::vector<Case> cases = {
      {"text", Text(2500)},
      {"records", Records(2500)},
      {"text with far repeats", Concat(Concat(Text(700), Random(1500, 21)), Text(900))},
      {"short repeats in noise",
       [] {
         std::vector<uint8_t> v = Random(3000, 22);
         for (size_t i = 400; i + 3 < v.size(); i += 97)
           std::copy(v.begin() + i - 300, v.begin() + i - 297, v.begin() + i);
         return v;
       }()},
      {"copies at every bucket's edges",
       [] {
         // Noise, then pieces taken from the distances where the codes change, at lengths
         // where they change, each followed by a little noise.
         std::vector<uint8_t> v = Random(8200, 23);
         std::mt19937 rng(24);
         const uint32_t distances[] = {1,    2,    256,  257,  512,  513,  1024, 1025,
                                       2048, 2049, 2303, 2304, 4096, 4097, 8192, 8193};
         const uint32_t lengths[] = {2, 3, 4, 5, 6, 7, 10, 11, 26, 27, 40};
         for (uint32_t d : distances) {
           for (uint32_t l : lengths) {
             for (uint32_t k = 0; k < l; k++) v.push_back(v[v.size() - d]);
             for (int k = 0; k < 3; k++) v.push_back(static_cast<uint8_t>(rng()));
           }
         }
         return v;
       }()},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> stream;
    EncodeBlock(c.data.data(), static_cast<uint32_t>(c.data.size()), EncodeMax, &stream);
    EXPECT_EQ(StreamBits(stream), CheapestParseBits(c.data)) << c.what;
  }
}

TEST(Encoder, UnknownLevelIsRefused) {
  std::vector<uint8_t> stream = {1, 2, 3};
  const uint8_t data[] = {1, 2, 3, 4};
  EXPECT_EQ(EncodeBlock(data, sizeof data, 0, &stream), 0);
  EXPECT_TRUE(stream.empty());
  EXPECT_EQ(EncodeBlock(data, sizeof data, 4, &stream), 0);
}

TEST(Encoder, ProgressRisesToTheInputSize) {
  const std::vector<uint8_t> data = Records(5u << 18);
  for (int level : kLevels) {
    std::vector<uint32_t> seen;
    EncodeProgress progress{[](void* context, uint32_t done) {
                              static_cast<std::vector<uint32_t>*>(context)->push_back(done);
                            },
                            &seen};
    std::vector<uint8_t> stream;
    EncodeBlock(data.data(), static_cast<uint32_t>(data.size()), level, &stream, &progress);
    ASSERT_GE(seen.size(), 2u) << level;
    for (size_t i = 1; i < seen.size(); i++) EXPECT_LE(seen[i - 1], seen[i]) << level;
    EXPECT_EQ(seen.back(), data.size()) << level;
  }
}

TEST(Encoder, PackageOfEncodedMembersReadsBack) {
  const std::vector<uint8_t> script = Bytes("[SETUP]\r\nCompanyName=Works\r\n[UPDATE]\r\n");
  const std::vector<uint8_t> table = Records(30000);
  std::vector<PackageMemberInput> members;
  for (const auto& named :
       {std::make_pair("UPDATE.INI", &script), std::make_pair("DATA.BIN", &table)}) {
    std::vector<uint8_t> stream;
    EncodeBlock(named.second->data(), static_cast<uint32_t>(named.second->size()), EncodeDefault,
                &stream);
    members.push_back(CompressedMember(named.first, static_cast<uint32_t>(named.second->size()),
                                       stream, 0x01D0000000000000ull));
  }
  std::vector<uint8_t> directory;
  const std::vector<uint8_t> raw = EncodeDirectory(members);
  EncodeBlock(raw.data(), static_cast<uint32_t>(raw.size()), EncodeMax, &directory);
  std::vector<uint8_t> image;
  ASSERT_TRUE(AssemblePackage(members, directory, true, &image));

  PackageDirectory* d = LoadPackageDirectory(image.data(), static_cast<uint32_t>(image.size()));
  ASSERT_NE(d, nullptr);
  const std::vector<uint8_t>* expected[] = {&script, &table};
  for (uint32_t i = 0; i < 2; i++) {
    const PackageEntry& e = DirectoryEntries(d)[i];
    EXPECT_STREQ(e.name, members[i].entry.name);
    void* block = nullptr;
    MemberStatus status;
    DecodeStatus decodeStatus;
    const uint8_t* content = MemberContent(image.data(), static_cast<uint32_t>(image.size()), e,
                                           MemberOffset(d, i), &block, &status, &decodeStatus);
    ASSERT_NE(content, nullptr) << i;
    EXPECT_EQ(std::vector<uint8_t>(content, content + e.size), *expected[i]);
    PlatFree(block);
  }
  PlatFree(d);
}

}  // namespace
