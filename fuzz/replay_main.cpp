// Replays saved inputs through a fuzz target without libFuzzer, for builds
// that have no libFuzzer: plain compilers, coverage, planted-fault runs. Each
// file named on the command line, and every file in a folder named there, goes
// once through LLVMFuzzerTestOneInput. A broken invariant aborts, so a
// non-zero exit or a signal means an input failed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

// Folders give their files in name order, leaving out hidden ones such as
// the .keep that holds an empty folder in git.
std::vector<fs::path> Inputs(int argc, char** argv) {
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!fs::is_directory(argv[i])) {
      inputs.emplace_back(argv[i]);
      continue;
    }
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(argv[i])) {
      if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    inputs.insert(inputs.end(), files.begin(), files.end());
  }
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<fs::path> inputs = Inputs(argc, argv);
  for (const fs::path& input : inputs) {
    // Exactly the file's bytes, as libFuzzer passes them, so that a read past
    // their end is a read past the allocation.
    std::vector<std::uint8_t> data(fs::file_size(input));
    std::ifstream file(input, std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()))) {
      std::fprintf(stderr, "cannot read %s\n", input.c_str());
      return 2;
    }
    LLVMFuzzerTestOneInput(data.data(), data.size());
  }
  std::fprintf(stderr, "replayed %zu inputs\n", inputs.size());
  return 0;
}
