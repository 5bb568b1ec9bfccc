// Writes the stored-record seeds into a folder, one file each, for scripts/fuzz-records.
//   stored_record_seeds <folder>
#include <cstdio>
#include <fstream>
#include <string>

#include "wavefield/stored_record_seeds.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const auto seeds = lumar::test::StoredRecordSeeds();
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    std::ofstream out(std::string(argv[1]) + "/seed-" + std::to_string(i), std::ios::binary);
    out.write(reinterpret_cast<const char*>(seeds[i].data()), static_cast<std::streamsize>(seeds[i].size()));
    if (!out) {
      std::fprintf(stderr, "cannot write seed %zu into %s\n", i, argv[1]);
      return 1;
    }
  }
  std::printf("%zu seeds written\n", seeds.size());
  return 0;
}
