// Replays saved fuzz inputs without libFuzzer: every file named on the command line, and every
// regular file of every directory named there (in name order, so failures repeat), goes once
// through the fuzz target. This is how the committed corpus runs as a test under any compiler.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    std::set<std::string> files;  // sorted
    if (!fs::is_directory(argv[i], ec)) files.insert(argv[i]);
    for (const auto& entry : fs::directory_iterator(argv[i], ec))
      if (!entry.is_directory(ec)) files.insert(entry.path().string());
    for (const std::string& file : files) {
      std::ifstream in(file, std::ios::binary);
      if (!in) {
        fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
      }
      const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++replayed;
    }
  }
  fprintf(stderr, "replayed %zu inputs\n", replayed);
  return replayed ? 0 : 1;  // no input at all means a wrong path, not a pass
}
