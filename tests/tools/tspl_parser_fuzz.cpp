// Fuzz target for the TSPL reader behind tspl2png.  LLVMFuzzerTestOneInput can be linked
// with libFuzzer; the standalone main below replays seed streams and deterministic mutations
// of them (byte flips, cuts, grown numbers, repeats), so ctest runs it under ASan and UBSan.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/tspl2png/tspl_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tspl::Parser parser({203, size % 2 == 0});
  const bool ok = parser.Parse(data, size, [](const tspl::Label& label, int sets, int copies) {
    // Every label handed out is whole and the counts are in range.
    if (label.width <= 0 || label.height <= 0 ||
        label.dots.size() != static_cast<size_t>(label.width) * label.height || sets < 0 ||
        copies < 0) {
      abort();
    }
    return true;
  });
  if (!ok && parser.error().empty()) abort();  // a refusal always says why
  return 0;
}

#ifndef QEV_LIBFUZZER
namespace {

std::vector<std::string> Seeds() {
  const std::string bitmap =
      "BITMAP 8,2,2,3,0," + std::string("\x0F\xF0\x00\xFF\x55\xAA", 6) + "\r\n";
  return {
      "CLS\r\nGAP 3 mm,0 mm\r\nSET RIBBON OFF\r\nDIRECTION 1,0\r\nREFERENCE 0,0\r\nDENSITY 8\r\n"
      "SPEED 4\r\nOFFSET 0 mm\r\nSET TEAR ON\r\nSET PEEL OFF\r\nSET CUTTER OFF\r\n"
      "CLS\r\nSIZE 32 dot,8 dot\r\n" +
          bitmap + "PRINT 1,2\r\n",
      "SIZE 2,1\nBLINE 0.12,0\nREFERENCE 3,1\nDIRECTION 0,1\n" + bitmap + "PRINT 2,1\n" + bitmap +
          "SET CUTTER 3\nPRINT 1\n",
      "SIZE 4 mm,2 mm\r\nBITMAP 0,0,1,1,1,\x7F\r\nBITMAP 0,0,1,1,2,\x00\r\nPRINT 1,0\r\n",
  };
}

uint32_t Next(uint32_t* state) {  // xorshift32: the same sequence on every run
  *state ^= *state << 13;
  *state ^= *state >> 17;
  *state ^= *state << 5;
  return *state;
}

std::string Mutate(std::string s, uint32_t* rng) {
  const int edits = 1 + Next(rng) % 4;
  for (int e = 0; e < edits && !s.empty(); ++e) {
    const size_t at = Next(rng) % s.size();
    switch (Next(rng) % 6) {
      case 0:
        s[at] = static_cast<char>(Next(rng));
        break;
      case 1:
        s.resize(at);
        break;
      case 2:
        s.insert(at, std::to_string(Next(rng) % 100000));
        break;
      case 3:
        s.insert(at, std::string(1, ",\r\n -.0"[Next(rng) % 7]));
        break;
      case 4:
        s.erase(at, 1 + Next(rng) % 8);
        break;
      default:
        s += s.substr(at, 64);
        break;
    }
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? atoi(argv[1]) : 50000;
  uint32_t rng = 0x2545F491u;
  const std::vector<std::string> seeds = Seeds();
  for (const std::string& seed : seeds) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(seed.data()), seed.size());
  }
  for (int i = 0; i < rounds; ++i) {
    const std::string input = Mutate(seeds[i % seeds.size()], &rng);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
  printf("%d mutated TSPL streams parsed without a fault\n", rounds);
  return 0;
}
#endif
