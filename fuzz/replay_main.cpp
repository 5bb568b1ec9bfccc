// Runs a fuzz target's entry point once on each file named on the command line (a folder: on each file
// in it). Builds with any compiler, so every build compiles and links the fuzz targets; scripts/fuzz-*
// link libFuzzer in its place.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void RunOn(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  int inputs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path(argv[i]);
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (!entry.is_regular_file()) continue;
        RunOn(entry.path());
        ++inputs;
      }
    } else {
      RunOn(path);
      ++inputs;
    }
  }
  std::printf("%d inputs replayed\n", inputs);
  return 0;
}
