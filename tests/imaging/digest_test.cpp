// Every imaging operation, driven as the fuzz target drives it but by fixed pseudo-random
// bytes, pinned by a digest of everything it reports (results, headers, rectangles, every
// output byte with its row padding). The rows of digests.txt give each operation's seed, run
// count and digest. A changed digest means changed output: find the cause before recording.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/imaging_ops.h"

namespace {

const char* const kNames[quorvel::fuzz::kImagingOps] = {
    "output-format", "rotate",   "dashes", "thresholds", "dither", "shrink",
    "resample",      "samplers", "resize", "tones",      "kernels"};

uint64_t Digest(int op, uint32_t seed, int runs) {
  std::mt19937 rng(seed);  // its sequence is fixed by the standard, unlike the distributions
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (int run = 0; run < runs; ++run) {
    std::vector<uint8_t> bytes(16 + rng() % 3000);
    for (auto& b : bytes) b = uint8_t(rng());
    quorvel::fuzz::Reader r(bytes.data(), bytes.size(), [&](const uint8_t* p, size_t n) {
      for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    });
    quorvel::fuzz::RunImagingOp(op, r);
  }
  return h;
}

TEST(ImagingDigest, EveryOperation) {
  std::ifstream file(std::string(QEV_SOURCE_DIR) + "/tests/imaging/digests.txt");
  ASSERT_TRUE(file.good());
  std::vector<bool> seen(quorvel::fuzz::kImagingOps);
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream row(line);
    std::string name;
    uint32_t seed = 0;
    int runs = 0;
    uint64_t digest = 0;
    ASSERT_TRUE(row >> name >> seed >> runs >> digest) << line;
    const int op = int(std::find(kNames, kNames + quorvel::fuzz::kImagingOps, name) - kNames);
    ASSERT_LT(op, quorvel::fuzz::kImagingOps) << "unknown operation " << name;
    seen[op] = true;
    EXPECT_EQ(Digest(op, seed, runs), digest) << name;
  }
  for (int op = 0; op < quorvel::fuzz::kImagingOps; ++op) EXPECT_TRUE(seen[op]) << kNames[op];
}

}  // namespace
