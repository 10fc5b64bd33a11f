// The package coder against well-known peers, on one corpus, in one run: compressed sizes at
// each level against zlib's level 9, encode speed at each level, and decode speed against zlib's
// inflate and memcpy. Prints one table, then the goals with the numbers that meet or miss them.
//
// The corpus needs no download: generated text and binary data from fixed seeds, and files every
// Debian machine with the build tools has (the C++ compiler, executables of the base system, the
// C library's headers), always the same files in the same order. A missing file is left out and
// said so; the corpus fingerprint tells whether two runs saw the same bytes.
//
// Each file is one stream, as each member of a package is. Times are the best of several runs,
// since the machine may be busy with other work.
//
// After the table, the directory benchmarks (Google Benchmark): what xra test and xra extract do
// before any member's data, for packages of many members: loading the directory, each member's
// offset and its content. Their time must grow with the number of members, not its square; the
// per-member offset walk they replaced is measured beside them at sizes where it still ends. With
// --benchmark_filter only the directory benchmarks run; the other --benchmark_ flags apply to
// them too.
#include <inttypes.h>
#include <stdio.h>
#include <string.h>
#include <zlib.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "package/decompress.h"
#include "package/encoder.h"
#include "package/member.h"
#include "package/package.h"
#include "platform/platform.h"

namespace {

struct CorpusFile {
  std::string name;
  std::vector<uint8_t> data;
};

// xorshift64*: the same numbers on every machine.
struct Rng {
  uint64_t s;
  uint32_t Next() {
    s ^= s >> 12;
    s ^= s << 25;
    s ^= s >> 27;
    return static_cast<uint32_t>((s * 2685821657736338717ull) >> 32);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }
};

void Put(std::vector<uint8_t>& v, const char* text) {
  v.insert(v.end(), text, text + strlen(text));
}
void PutLe(std::vector<uint8_t>& v, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; i++) v.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A game's scenario script: commands, names and Japanese lines in code page 932 (the literals
// below are compiled to it), CR LF line ends.
std::vector<uint8_t> Scenario(size_t size) {
  static const char* const kSpeakers[] = {"美咲", "悠真", "先生", "陽菜", "？？？"};
  static const char* const kLines[] = {"そうだね。",
                                       "……本当に？",
                                       "今日は空がきれいだ。",
                                       "明日の放課後、屋上で待ってる。",
                                       "ねえ、聞いてる？",
                                       "わたし、ずっと言えなかったことがあるの。",
                                       "星が降る夜には、願いがひとつだけ叶うんだって。",
                                       "ごめん、遅くなった。",
                                       "うん。",
                                       "えっ、どうして知ってるの？",
                                       "約束、覚えてる？",
                                       "それじゃあ、また明日。"};
  static const char* const kNarration[] = {
      "風が吹いた。",           "夕日が校舎を赤く染めている。",
      "遠くで電車の音がした。", "丘の上には、古い天文台が残っている。",
      "彼女は少しだけ笑った。", "その夜、空には数えきれないほどの星が流れた。"};
  Rng rng{0x5CE7A210ull};
  std::vector<uint8_t> v;
  char line[256];
  uint32_t label = 0;
  while (v.size() < size) {
    switch (rng.Below(10)) {
      case 0:
        snprintf(line, sizeof line, "*scene_%04u\r\n@bg name=bg_%02u fade=%u\r\n", label++,
                 rng.Below(40), 200 + 100 * rng.Below(8));
        break;
      case 1:
        snprintf(line, sizeof line, "@bgm file=bgm%02u vol=%u\r\n@se file=se_%03u\r\n",
                 rng.Below(24), 60 + 5 * rng.Below(9), rng.Below(200));
        break;
      case 2:
      case 3:
        snprintf(line, sizeof line, "%s\r\n", kNarration[rng.Below(6)]);
        break;
      default:
        snprintf(line, sizeof line, "【%s】「%s%s」\r\n@wait %u\r\n", kSpeakers[rng.Below(5)],
                 kLines[rng.Below(12)], rng.Below(3) == 0 ? kLines[rng.Below(12)] : "",
                 100 * rng.Below(20));
        break;
    }
    Put(v, line);
  }
  v.resize(size);
  return v;
}

// A table of game records: ids, small numbers near typical values, names from a short list,
// coordinates on a map, flags.
std::vector<uint8_t> Records(size_t size) {
  static const char* const kNames[] = {"slime", "bat",    "goblin", "wolf",   "knight", "mage",
                                       "golem", "dragon", "ghost",  "archer", "thief",  "healer"};
  static const uint32_t kScales[] = {0x3F800000u, 0x3FC00000u, 0x40000000u, 0x3F400000u};
  Rng rng{0x7AB1E5ull};
  std::vector<uint8_t> v;
  for (uint32_t id = 1; v.size() < size; id++) {
    const uint32_t kind = rng.Below(12);
    PutLe(v, id, 4);
    PutLe(v, kind, 1);
    PutLe(v, 1 + rng.Below(60), 1);
    PutLe(v, 50 + kind * 40 + rng.Below(30), 2);  // hit points
    PutLe(v, 10 + rng.Below(20), 2);
    PutLe(v, 5 + kind * 3 + rng.Below(4), 2);
    PutLe(v, 3 + kind * 2 + rng.Below(4), 2);
    PutLe(v, rng.Below(512), 2);  // map position
    PutLe(v, rng.Below(512), 2);
    char name[16] = {};
    snprintf(name, sizeof name, "%s_%u", kNames[kind], rng.Below(8));
    v.insert(v.end(), name, name + sizeof name);
    PutLe(v, kScales[rng.Below(4)], 4);
    PutLe(v, (rng.Below(4) == 0 ? 0x10 : 0) | (kind > 8 ? 0x100 : 0), 4);
    PutLe(v, 0, 4);
  }
  v.resize(size);
  return v;
}

// A 24-bit bitmap: a sky gradient with sensor noise in the low bits, solid panels, and a tiled
// floor, the kinds of area a game's pictures have.
std::vector<uint8_t> Bitmap(uint32_t width, uint32_t height) {
  Rng rng{0xB17A9ull};
  std::vector<uint8_t> v;
  Put(v, "BM");
  PutLe(v, 54 + width * height * 3, 4);
  PutLe(v, 0, 4);
  PutLe(v, 54, 4);
  PutLe(v, 40, 4);
  PutLe(v, width, 4);
  PutLe(v, height, 4);
  PutLe(v, 1 | (24 << 16), 4);
  for (int i = 0; i < 6; i++) PutLe(v, 0, 4);
  struct Panel {
    uint32_t x, y, w, h;
    uint8_t b, g, r;
  };
  std::vector<Panel> panels;
  for (int i = 0; i < 30; i++) {
    panels.push_back(Panel{rng.Below(width), rng.Below(height), 20 + rng.Below(200),
                           10 + rng.Below(120), static_cast<uint8_t>(rng.Next()),
                           static_cast<uint8_t>(rng.Next()), static_cast<uint8_t>(rng.Next())});
  }
  for (uint32_t y = 0; y < height; y++) {
    for (uint32_t x = 0; x < width; x++) {
      uint8_t b = static_cast<uint8_t>(255 - y * 120 / height),
              g = static_cast<uint8_t>(180 - y * 100 / height),
              r = static_cast<uint8_t>(90 + x * 60 / width);
      const uint32_t jitter = rng.Below(4);
      b ^= jitter;
      g ^= jitter >> 1;
      if (y < height / 5) {
        const bool dark = ((x / 32) + (y / 32)) % 2 == 0;
        b = g = r = dark ? 60 : 140;
      }
      for (const Panel& p : panels) {
        if (x >= p.x && x < p.x + p.w && y >= p.y && y < p.y + p.h) {
          b = p.b;
          g = p.g;
          r = p.r;
        }
      }
      v.push_back(b);
      v.push_back(g);
      v.push_back(r);
    }
  }
  return v;
}

std::vector<uint8_t> Noise(size_t size) {
  Rng rng{0x40153ull};
  std::vector<uint8_t> v(size);
  for (uint8_t& b : v) b = static_cast<uint8_t>(rng.Next());
  return v;
}

bool ReadFile(const std::string& path, size_t limit, std::vector<uint8_t>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), {});
  if (out->size() > limit) out->resize(limit);
  return !out->empty();
}

std::vector<CorpusFile> BuildCorpus(std::vector<std::string>* missing) {
  std::vector<CorpusFile> corpus;
  corpus.push_back({"gen/scenario.txt", Scenario(4u << 20)});
  corpus.push_back({"gen/records.bin", Records(4u << 20)});
  corpus.push_back({"gen/picture.bmp", Bitmap(1024, 1024)});
  corpus.push_back({"gen/noise.bin", Noise(1u << 20)});

  std::vector<uint8_t> data;
  if (ReadFile("/usr/lib/gcc/x86_64-linux-gnu/12/cc1plus", 8u << 20, &data)) {
    corpus.push_back({"cc1plus (first 8 MB)", data});
  } else {
    missing->push_back("/usr/lib/gcc/x86_64-linux-gnu/12/cc1plus");
  }
  for (const char* name : {"bash", "cp", "ls", "perl", "sort", "tar"}) {
    const std::string path = std::string("/usr/bin/") + name;
    if (ReadFile(path, 16u << 20, &data)) {
      corpus.push_back({path, data});
    } else {
      missing->push_back(path);
    }
  }
  // The C library's headers in /usr/include, by name, as one text.
  static const char* const kHeaders[] = {
      "aio.h",       "argp.h",    "assert.h", "complex.h", "ctype.h",    "dirent.h",   "dlfcn.h",
      "elf.h",       "err.h",     "errno.h",  "fcntl.h",   "features.h", "fenv.h",     "fnmatch.h",
      "getopt.h",    "glob.h",    "grp.h",    "iconv.h",   "inttypes.h", "langinfo.h", "libgen.h",
      "libintl.h",   "limits.h",  "link.h",   "locale.h",  "malloc.h",   "math.h",     "netdb.h",
      "poll.h",      "pthread.h", "pwd.h",    "regex.h",   "resolv.h",   "sched.h",    "search.h",
      "semaphore.h", "setjmp.h",  "signal.h", "spawn.h",   "stdint.h",   "stdio.h",    "stdlib.h",
      "string.h",    "strings.h", "syslog.h", "termios.h", "threads.h",  "time.h",     "uchar.h",
      "unistd.h",    "utmp.h",    "wchar.h",  "wctype.h",  "wordexp.h"};
  std::vector<uint8_t> headers;
  for (const char* name : kHeaders) {
    const std::string path = std::string("/usr/include/") + name;
    if (ReadFile(path, 1u << 20, &data)) {
      headers.insert(headers.end(), data.begin(), data.end());
    } else {
      missing->push_back(path);
    }
  }
  if (!headers.empty()) corpus.push_back({"/usr/include/*.h (C library)", headers});
  return corpus;
}

uint64_t Fingerprint(const std::vector<CorpusFile>& corpus) {
  uint64_t h = 1469598103934665603ull;
  for (const CorpusFile& f : corpus) {
    for (uint8_t b : f.data) h = (h ^ b) * 1099511628211ull;
  }
  return h;
}

using Clock = std::chrono::steady_clock;

// The best of `runs` timings of `work`, in seconds.
template <typename Work>
double Best(int runs, Work work) {
  double best = 1e30;
  for (int i = 0; i < runs; i++) {
    const Clock::time_point start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

struct Codec {
  const char* name;
  uint64_t compressed = 0;  // as package members: a stream no smaller than its file is stored
  double encodeSeconds = 0;
  double decodeSeconds = 0;
};

double Mbps(uint64_t bytes, double seconds) { return seconds > 0 ? bytes / seconds / 1e6 : 0; }

// A package of `count` empty stored members, with a stored directory: all of its size is the
// directory, so loading and walking it is all there is to measure. The names are the members'
// numbers in hex, unique as the tools require.
std::vector<uint8_t> EmptyMembersPackage(uint32_t count) {
  std::vector<uint8_t> image(kPackageHeaderSize + static_cast<size_t>(count) * kPackageEntrySize);
  const PackageHeader header{kPackageMagic, 0, kPackageHeaderSize, count};
  EncodePackageHeader(header, image.data());
  for (uint32_t i = 0; i < count; i++) {
    PackageEntry entry{};
    snprintf(entry.name, sizeof entry.name, "m%08" PRIx32 ".dat", i);
    entry.time = 133500000000000000ull;
    EncodePackageEntry(entry, image.data() + kPackageHeaderSize +
                                  static_cast<size_t>(i) * kPackageEntrySize);
  }
  return image;
}

// Loads the directory, takes every member's offset (by `offsetsOf`) and every member's content,
// as xra test does for each member before expanding it.
template <typename OffsetsOf>
void WalkEveryMember(benchmark::State& state, OffsetsOf offsetsOf) {
  const uint32_t count = static_cast<uint32_t>(state.range(0));
  const std::vector<uint8_t> image = EmptyMembersPackage(count);
  const uint32_t imageSize = static_cast<uint32_t>(image.size());
  std::vector<uint64_t> offsets(count);
  for (auto _ : state) {
    PackageStatus status = PackageOk;
    PackageDirectory* directory = LoadPackageDirectoryStatus(image.data(), imageSize, &status);
    if (directory == nullptr || directory->header.entryCount != count) {
      state.SkipWithError(PackageStatusText(status));
      PlatFree(directory);
      return;
    }
    offsetsOf(directory, offsets.data());
    const PackageEntry* entries = DirectoryEntries(directory);
    uint32_t found = 0;
    for (uint32_t i = 0; i < count; i++) {
      void* block = nullptr;
      MemberStatus memberStatus;
      const uint8_t* content = MemberContent(image.data(), imageSize, entries[i], offsets[i],
                                             &block, &memberStatus, nullptr);
      benchmark::DoNotOptimize(content);
      found += content != nullptr;
      PlatFree(block);
    }
    PlatFree(directory);
    if (found != count) {
      state.SkipWithError("a member's content was refused");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(count));
}

void BM_DirectoryOneWalk(benchmark::State& state) {
  WalkEveryMember(state, [](const PackageDirectory* directory, uint64_t* offsets) {
    MemberOffsets(directory, offsets);
  });
}
BENCHMARK(BM_DirectoryOneWalk)->Arg(2000)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

// The walk from the first entry for each member, which the one walk replaced: time in the square
// of the number of members, so only at sizes where a run still ends soon.
void BM_DirectoryWalkPerMember(benchmark::State& state) {
  WalkEveryMember(state, [](const PackageDirectory* directory, uint64_t* offsets) {
    for (uint32_t i = 0; i < directory->header.entryCount; i++) {
      offsets[i] = MemberOffset(directory, i);
    }
  });
}
BENCHMARK(BM_DirectoryWalkPerMember)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

// The comparison table and the goals; 0, or 1 when the coder does not give back its input.
int PrintTable() {
  constexpr int kDecodeRuns = 7;
  constexpr int kEncodeRuns = 2;
  std::vector<std::string> missing;
  const std::vector<CorpusFile> corpus = BuildCorpus(&missing);
  uint64_t total = 0;
  for (const CorpusFile& f : corpus) total += f.data.size();

  Codec ours[3] = {{"xra fast"}, {"xra default"}, {"xra max"}};
  const int levels[3] = {EncodeFast, EncodeDefault, EncodeMax};
  Codec zlib{"zlib -9 (inflate)"};
  Codec copy{"memcpy (copy of the input)"};
  std::vector<uint64_t> maxSizes, zlibSizes;

  for (const CorpusFile& f : corpus) {
    const uint32_t size = static_cast<uint32_t>(f.data.size());
    std::vector<uint8_t> out(size);
    for (int l = 0; l < 3; l++) {
      std::vector<uint8_t> stream;
      ours[l].encodeSeconds += Best(l == 2 ? 1 : kEncodeRuns,
                                    [&] { EncodeBlock(f.data.data(), size, levels[l], &stream); });
      if (!DecompressBlock(out.data(), size, stream.data(), static_cast<uint32_t>(stream.size()),
                           nullptr) ||
          out != f.data) {
        fprintf(stderr, "xra_bench: %s does not decode to itself at level %d\n", f.name.c_str(),
                levels[l]);
        return 1;
      }
      ours[l].decodeSeconds += Best(kDecodeRuns, [&] {
        DecompressBlock(out.data(), size, stream.data(), static_cast<uint32_t>(stream.size()),
                        nullptr);
      });
      ours[l].compressed += std::min<uint64_t>(stream.size(), size);
      if (l == 2) maxSizes.push_back(std::min<uint64_t>(stream.size(), size));
    }

    std::vector<uint8_t> z(compressBound(size));
    uLongf zSize = 0;
    zlib.encodeSeconds += Best(kEncodeRuns, [&] {
      zSize = z.size();
      compress2(z.data(), &zSize, f.data.data(), size, 9);
    });
    zlib.decodeSeconds += Best(kDecodeRuns, [&] {
      uLongf n = size;
      uncompress(out.data(), &n, z.data(), zSize);
    });
    zlib.compressed += zSize;
    zlibSizes.push_back(zSize);

    copy.decodeSeconds += Best(kDecodeRuns, [&] {
      memcpy(out.data(), f.data.data(), size);
      // Keeps the copy from being optimised away.
      __asm__ __volatile__("" : : "r"(out.data()) : "memory");
    });
  }

  printf("xra_bench: %zu files, %" PRIu64 " bytes, fingerprint %016" PRIx64
         "; times are the best of %d decode and %d encode runs (max: 1)\n",
         corpus.size(), total, Fingerprint(corpus), kDecodeRuns, kEncodeRuns);
  for (const std::string& m : missing) printf("  missing, left out: %s\n", m.c_str());
  printf("sizes count a file as a package would hold it: stored when its stream is no smaller\n");
  printf("\n%-30s %12s %10s %10s %12s\n", "corpus file", "bytes", "zlib -9", "xra max", "max/zlib");
  for (size_t i = 0; i < corpus.size(); i++) {
    printf("%-30s %12zu %10" PRIu64 " %10" PRIu64 " %12.3f\n", corpus[i].name.c_str(),
           corpus[i].data.size(), zlibSizes[i], maxSizes[i],
           static_cast<double>(maxSizes[i]) / zlibSizes[i]);
  }
  printf("%-30s %12s %10s %10s %12s %12s\n", "codec on the whole corpus", "compressed", "of input",
         "vs zlib-9", "encode MB/s", "decode MB/s");
  for (const Codec* c : {&ours[0], &ours[1], &ours[2], &zlib}) {
    printf("%-30s %12" PRIu64 " %10.3f %10.3f %12.1f %12.1f\n", c->name, c->compressed,
           static_cast<double>(c->compressed) / total,
           static_cast<double>(c->compressed) / zlib.compressed, Mbps(total, c->encodeSeconds),
           Mbps(total, c->decodeSeconds));
  }
  printf("%-30s %12s %10s %10s %12s %12.1f\n", copy.name, "-", "-", "-", "-",
         Mbps(total, copy.decodeSeconds));

  double slowestDecode = 1e30;
  for (const Codec& c : ours) slowestDecode = std::min(slowestDecode, Mbps(total, c.decodeSeconds));
  const double inflate = Mbps(total, zlib.decodeSeconds);
  const double memcpySpeed = Mbps(total, copy.decodeSeconds);
  const double maxVsZlib = static_cast<double>(ours[2].compressed) / zlib.compressed;
  const double maxVsFast = 1.0 - static_cast<double>(ours[2].compressed) / ours[0].compressed;
  const double defaultEncode = Mbps(total, ours[1].encodeSeconds);
  struct Goal {
    const char* what;
    double value;
    double target;
    bool atLeast;
    const char* unit;
  } const goals[] = {
      {"decode (slowest level) / zlib inflate", slowestDecode / inflate, 2.5, true, "x"},
      {"decode (slowest level) / memcpy", slowestDecode / memcpySpeed * 100, 10, true, "%"},
      {"xra max / zlib -9 size", maxVsZlib, 1.12, false, "x"},
      {"xra max smaller than xra fast by", maxVsFast * 100, 4, true, "%"},
      {"xra default encode speed", defaultEncode, 20, true, " MB/s"},
  };
  printf("\ngoals\n");
  for (const Goal& g : goals) {
    const bool met = g.atLeast ? g.value >= g.target : g.value <= g.target;
    printf("  %-40s %8.2f%s  (goal %s %.2f%s)  %s\n", g.what, g.value, g.unit,
           g.atLeast ? ">=" : "<=", g.target, g.unit, met ? "met" : "NOT MET");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A filter asks for some of the directory benchmarks, not for the whole table.
  bool tableWanted = true;
  for (int i = 1; i < argc; i++) {
    if (strncmp(argv[i], "--benchmark_filter", 18) == 0) tableWanted = false;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  if (tableWanted) {
    const int status = PrintTable();
    if (status != 0) return status;
    printf("\ndirectory of many members: load, every offset, every member's content\n");
    fflush(stdout);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
