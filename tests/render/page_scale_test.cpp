// The scaling dispatch shared by both scaling stages of the page pipeline: its row padding
// is white, and a failed scaling gives no page at all.
#include "render/page_scale.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// With a black source, whatever the scaling left unwritten would print.
TEST(ScalePage, PaddingIsWhiteAndFailureGivesNoPage) {
  CBmpProcessing proc;
  const uint8_t black[8] = {};  // 2 x 2 8-bit gray, stride 4
  // Shrunk to 1 x 1 (3 padding bytes) and resampled to 3 x 2 (1 padding byte a row).
  MallocBytes shrunk = quorvel::render::ScalePage(proc, black, 2, 2, 8, 4, 1, 1, 4, true);
  ASSERT_TRUE(shrunk);
  EXPECT_EQ(std::vector<uint8_t>(shrunk.get(), shrunk.get() + 4),
            (std::vector<uint8_t>{0, 255, 255, 255}));
  MallocBytes grown = quorvel::render::ScalePage(proc, black, 2, 2, 8, 4, 3, 2, 8, false);
  ASSERT_TRUE(grown);
  EXPECT_EQ(std::vector<uint8_t>(grown.get(), grown.get() + 8),
            (std::vector<uint8_t>{0, 0, 0, 255, 0, 0, 0, 255}));
  // The area shrink refuses a 1-bit source.
  EXPECT_FALSE(quorvel::render::ScalePage(proc, black, 2, 2, 1, 4, 1, 1, 4, true));
}

}  // namespace
