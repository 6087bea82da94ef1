// Helpers for the renderer tests: a renderer wired to its three job records, expected bitmaps
// drawn dot by dot in the listing format of ReadableTspl, and the listing's bitmap rows.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "job/records.h"
#include "render/tspl_render.h"
#include "tests/support/stdout_capture.h"

namespace quorvel::test {

// An expected bitmap of `bytesPerRow` × `rows`, all blank until dots are set.
class Art {
 public:
  Art(int bytesPerRow, int rows)
      : rows_(rows, std::string(static_cast<size_t>(bytesPerRow) * 8, '.')) {}
  Art& Dot(int x, int y) {
    rows_.at(y).at(x) = '#';
    return *this;
  }
  std::string Text() const {
    std::string t;
    for (const std::string& r : rows_) t += r + "\n";
    return t;
  }

 private:
  std::vector<std::string> rows_;
};

// The rows of the first bitmap of a listing.
inline std::vector<std::string> BitmapRows(const std::string& listing) {
  std::vector<std::string> rows;
  size_t pos = listing.find("BITMAP ");
  if (pos == std::string::npos) return rows;
  pos = listing.find('\n', pos) + 1;
  while (pos < listing.size() && (listing[pos] == '#' || listing[pos] == '.')) {
    const size_t end = listing.find('\n', pos);
    rows.push_back(listing.substr(pos, end - pos));
    pos = end + 1;
  }
  return rows;
}

inline int Dots(const std::string& row) {
  return static_cast<int>(std::count(row.begin(), row.end(), '#'));
}

// A 203 dpi job with tear-off, one copy of page 1, a 104 mm maximum width.
struct RenderJob {
  tagOEMCFG cfg{};
  _DEVMODE dev{};
  _OEMPDEV pdev{};
  CTSPLRenderClass renderer;

  // The renderer points at these very records, so a job is never copied.
  RenderJob(const RenderJob&) = delete;
  RenderJob& operator=(const RenderJob&) = delete;
  RenderJob() {
    renderer.SetOemCfgPointer(&cfg);
    renderer.SetDevModePointer(&dev);
    renderer.SetOemPdevPointer(&pdev);
    cfg.sOutputXDPI = cfg.sOutputYDPI = 203;
    cfg.dwOperationAfterPrn = 3;
    cfg.sMaxOutputWidth = 104;
    dev.dmOrientation = 1;
    dev.dmPrintQuality = dev.dmYResolution = 203;
    pdev.sCurCopies = 1;
    pdev.dwCurPageNum = 1;
  }
};

}  // namespace quorvel::test
