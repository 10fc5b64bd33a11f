// Replays fuzz inputs without libFuzzer: every file named on the command line, or found in a
// folder named there, is passed to LLVMFuzzerTestOneInput once. Fails when no input is found,
// so a missing corpus is not taken for a pass.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

static void RunOne(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  // An exact heap copy, so that the sanitizers see a read past the input.
  uint8_t* copy = new uint8_t[bytes.size() + 1];
  std::copy(bytes.begin(), bytes.end(), copy);
  LLVMFuzzerTestOneInput(copy, bytes.size());
  delete[] copy;
}

int main(int argc, char** argv) {
  size_t count = 0;
  for (int i = 1; i < argc; i++) {
    const fs::path arg(argv[i]);
    if (fs::is_directory(arg)) {
      for (const auto& entry : fs::recursive_directory_iterator(arg)) {
        if (entry.is_regular_file()) {
          RunOne(entry.path());
          count++;
        }
      }
    } else if (fs::is_regular_file(arg)) {
      RunOne(arg);
      count++;
    } else {
      fprintf(stderr, "%s: no such file or folder\n", argv[i]);
      return 1;
    }
  }
  printf("replayed %zu inputs\n", count);
  return count > 0 ? 0 : 1;
}
