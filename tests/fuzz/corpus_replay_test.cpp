// Every committed fuzz corpus file run through its target's entry point: a fault once found stays mended.
#include <gtest/gtest.h>
#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace {

std::vector<std::string> corpus_files(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') names.push_back(folder + "/" + entry->d_name);
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(CorpusReplay, EveryCorpusFileRunsCleanThroughItsTarget) {
  fuzz_runtime_ready();
  for (const fuzz_target& target : fuzz_targets) {
    std::vector<std::string> files = corpus_files(std::string(FUZZ_CORPUS_DIR) + "/" + target.name);
    EXPECT_FALSE(files.empty()) << target.name << " has no corpus";
    for (const std::string& path : files) {
      std::ifstream in(path, std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      fuzz_current_input = path.c_str();  // named by fuzz_fail when an invariant breaks
      target.run(bytes.data(), bytes.size());
    }
  }
  fuzz_current_input = nullptr;
}

}  // namespace
