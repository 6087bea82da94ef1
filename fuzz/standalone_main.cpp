// Replays saved fuzz inputs without libFuzzer: every file named on the command line, and
// every regular file of every directory named there, goes once through the fuzz target.
// This is how the committed corpus runs as an ordinary test under any compiler.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    if (!fs::is_directory(argv[i], ec)) {
      files.push_back(argv[i]);
      continue;
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(argv[i], ec)) {
      if (!entry.is_directory(ec)) names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end());  // a stable order makes failures repeatable
    files.insert(files.end(), names.begin(), names.end());
  }
  if (files.empty()) {
    fprintf(stderr, "usage: %s FILE_OR_DIR...: no input found\n", argv[0]);
    return 1;
  }
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
      fprintf(stderr, "cannot read %s\n", file.c_str());
      return 1;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  fprintf(stderr, "replayed %zu inputs\n", files.size());
  return 0;
}
