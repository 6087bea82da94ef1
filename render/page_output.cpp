// Page output: packs the halftoned page into 1-bit BITMAP rows, sizes the label, and writes
// the cutter settings and print blocks of the page, keeping the job's label counter.
#include "render/page_output.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/dots.h"
#include "job/page_error.h"
#include "logging/vanta.h"
#include "render/bmp_dump.h"
#include "render/tspl_render.h"

namespace quorvel::render {
namespace {

int32_t ClampToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Eight pixels to one bitmap byte, the first pixel in the most significant bit, a bit set
// for a pixel of 255 (blank).
inline uint8_t PackEight(const uint8_t* px) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // Eight bytes at once: a byte of ~px is non-zero where the pixel prints; its top bit is
  // gathered into byte 7 by the multiplication, pixel i landing on bit 7 - i.
  uint64_t word;
  memcpy(&word, px, 8);
  const uint64_t t = ~word;
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const uint64_t inked = ((((t & kLow7) + kLow7) | t) & ~kLow7) >> 7;
  return static_cast<uint8_t>(~((inked * 0x8040201008040201ull) >> 56));
#else
  unsigned v = 0;
  for (int j = 0; j < 8; ++j) v |= static_cast<unsigned>(px[j] == 255) << (7 - j);
  return static_cast<uint8_t>(v);
#endif
}

// Each byte with its bits in reverse order.
struct ReversedBits {
  uint8_t b[256];
};
constexpr ReversedBits MakeReversedBits() {
  ReversedBits t{};
  for (int v = 0; v < 256; ++v) {
    int r = 0;
    for (int j = 0; j < 8; ++j) r |= ((v >> j) & 1) << (7 - j);
    t.b[v] = static_cast<uint8_t>(r);
  }
  return t;
}
constexpr ReversedBits kReversedBits = MakeReversedBits();

// Packs one row without mirroring: pixel i lands on dot offset + i. Whole bytes are built
// eight pixels at a time once the dot position is byte aligned.
void PackRow(const uint8_t* src, int32_t count, int32_t offset, uint8_t* dst) {
  int32_t k = offset;
  int32_t i = 0;
  for (; i < count && (k & 7) != 0; ++i, ++k) {
    if (src[i] != 255) dst[k >> 3] &= static_cast<uint8_t>(~(0x80u >> (k & 7)));
  }
#ifdef __SSE2__
  // Sixteen at once: the compare's sign bits come out with pixel 0 in bit 0, so each byte
  // is bit-reversed to put the first pixel in the most significant bit.
  const __m128i blank = _mm_set1_epi8(static_cast<char>(255));
  for (; i + 16 <= count; i += 16, k += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, blank)));
    dst[k >> 3] = kReversedBits.b[mask & 0xFF];
    dst[(k >> 3) + 1] = kReversedBits.b[mask >> 8];
  }
#endif
  for (; i + 8 <= count; i += 8, k += 8) dst[k >> 3] = PackEight(src + i);
  for (; i < count; ++i, ++k) {
    if (src[i] != 255) dst[k >> 3] &= static_cast<uint8_t>(~(0x80u >> (k & 7)));
  }
}

// Packs one row mirrored: dot i shows image column span - i.
void PackRowMirrored(const uint8_t* src, int32_t width, int32_t span, int32_t rowDots,
                     uint8_t* dst) {
  const int32_t first = std::max<int32_t>(0, span - (width - 1));
  const int32_t end = std::min<int32_t>(span, rowDots - 1);
  for (int32_t i = first; i <= end; ++i) {
    if (src[span - i] != 255) dst[i >> 3] &= static_cast<uint8_t>(~(0x80u >> (i & 7)));
  }
}

// The physical offset of the source page in printer dots; a missing resolution gives none.
int32_t OffsetDots(int32_t dpi, int32_t offset, int32_t resolution) {
  return resolution != 0 ? dpi * offset / resolution : 0;
}

void ShiftForRotation(const tagOEMCFG& cfg, const _DEVMODE& dev, const _OEMPDEV& pdev,
                      int rotationType, tagRECT* rect) {
  const tagPOINT& phys = pdev.srcGdiInfo.ptlPhysOffset;
  int32_t dx = 0;
  int32_t dy = 0;
  if (rotationType == 0) {
    dx = OffsetDots(cfg.sOutputYDPI, phys.y, dev.dmYResolution);
  } else if (rotationType == 2) {
    dy = OffsetDots(cfg.sOutputXDPI, phys.x, dev.dmPrintQuality);
  } else if (rotationType == 3) {
    dx = OffsetDots(cfg.sOutputXDPI, phys.x, dev.dmPrintQuality);
    dy = OffsetDots(cfg.sOutputYDPI, phys.y, dev.dmYResolution);
  }
  rect->left += dx;
  rect->right += dx;
  rect->top += dy;
  rect->bottom += dy;
}

// Writes SIZE. With save-paper or print mode 1 the label is as long as the image plus 8
// dots and the image moves to its top; otherwise the label reaches down to the image's end.
void WriteLabelSize(CTSPLRenderClass& renderer, const tagOEMCFG& cfg, const _DEVMODE& dev,
                    const _OEMPDEV& pdev, const BitmapGeometry& geo, tagRECT* out) {
  const int32_t rows = geo.rows;
  int32_t bits = geo.bitsPerRow;
  if (cfg.sSavePaperMode == 1 || cfg.sPaperMode == 1) {
    const bool unturned = (dev.dmOrientation == 1 && cfg.sRotate90 == 0) ||
                          (dev.dmOrientation == 2 && cfg.sRotate90 == 1);
    const int32_t phys = unturned ? pdev.srcGdiInfo.szlPhysSize.cx : pdev.srcGdiInfo.szlPhysSize.cy;
    const int32_t res = unturned ? dev.dmPrintQuality : dev.dmYResolution;
    // A missing maximum width (0 or less) never caps the label.
    if (cfg.sMaxOutputWidth > 0 && res != 0) {
      // In 64 bits: a wide page at a high OutputDPI would overflow int (same value otherwise).
      const int32_t pageDots =
          static_cast<int32_t>((int64_t{cfg.sOutputXDPI} * phys / res + 7) / 8 * 8);
      const int32_t maxDots = DotsFromMm(cfg.sMaxOutputWidth, cfg.sOutputXDPI);
      if (pageDots > maxDots) bits = (maxDots + 7) / 8 * 8;
    }
    renderer.OutPutSizeCommand(geo.alignedLeft + bits, rows + 8);
    out->top = 0;
    out->bottom = rows - 1;
  } else {
    renderer.OutPutSizeCommand(geo.alignedLeft + bits, std::max<int32_t>(out->top, 0) + rows);
  }
}

// Cut method 3 with an interval I > 0: a cut after every I labels of the job.
void PlanInterval(int32_t interval, int32_t copies, uint32_t page, bool last, uint32_t* printed,
                  std::vector<PrintStep>* steps) {
  const uint32_t I = static_cast<uint32_t>(interval);
  uint32_t& L = *printed;
  auto cut = [&](int64_t n) { steps->push_back({PrintStep::kCutter, n}); };
  auto block = [&](int64_t n) { steps->push_back({PrintStep::kBlock, n}); };
  if (copies <= 1) {
    if ((static_cast<uint32_t>(copies) + L) % I == 0 || last) {
      // With I = 1 the cut-every-label setting of page 1 still holds.
      if (!(interval == 1 && page != 1)) cut(1);
    } else if ((page - 1) % I == 0) {
      cut(0);
    }
    block(1);
    L += 1;
    return;
  }
  const int32_t total = static_cast<int32_t>(L % I) + copies;
  for (int32_t rep = total / interval; rep > 0; --rep) {
    const int32_t before = interval - 1 - static_cast<int32_t>(L % I);
    cut(0);
    block(before);
    L += static_cast<uint32_t>(before);
    cut(1);
    block(1);
    L += 1;
  }
  // A page that reaches no cut prints just its K labels: the labels before it in the
  // interval were printed by earlier pages.
  int32_t rest = total < interval ? copies : total % interval;
  if (rest != 0) {
    if (last) rest -= 1;
    cut(0);
    block(rest);
    L += static_cast<uint32_t>(rest);
    if (last) {
      cut(1);
      block(1);
      L += 1;
    }
  }
}

// Dots that a left shift (HorizontalOffset Left, or the Reverse vertical offset) moves the
// bitmap past the label's left edge: its x, before the BITMAP command clamps it to 0.
int64_t DotsLeftOfLabel(const tagOEMCFG& cfg, const tagRECT& rect) {
  auto dots = [](double mm, int32_t dpi) {
    return static_cast<int64_t>(std::clamp(DotsBeforeTruncation(mm, dpi), -1e12, 1e12));
  };
  const int64_t h = dots(static_cast<double>(cfg.sHrzOffset) / 10.0, cfg.sOutputXDPI);
  const int64_t v =
      dots(static_cast<double>(cfg.sVtcOffset) / 10.0 + cfg.sEndOffsetValue, cfg.sOutputYDPI);
  const int64_t adjust = cfg.sVtcDir == 1 ? -v : (cfg.sHrzDir == 1 ? -h : h);
  const int64_t base = rect.left < 1 ? 0 : rect.left / 8 * 8;
  return std::max<int64_t>(0, -(base + adjust));
}

// Drops the first `drop` dots of every row, so that the rest starts at the label's left
// edge; at least one blank byte per row remains. `rect` becomes the rectangle that places
// the new rows at x 0 with their new width.
MallocBytes DropLeftDots(const uint8_t* bits, const BitmapGeometry& geo, int64_t drop,
                         tagRECT* rect) {
  const int64_t rowDots = int64_t{geo.bytesPerRow} * 8;
  const int32_t newBytes = static_cast<int32_t>(std::max<int64_t>(1, (rowDots - drop + 7) / 8));
  MallocBytes out = AllocFilled(static_cast<size_t>(newBytes) * geo.rows, 255);
  if (!out) return out;
  for (int32_t y = 0; y < geo.rows; ++y) {
    const uint8_t* src = bits + static_cast<size_t>(y) * geo.bytesPerRow;
    uint8_t* dst = out.get() + static_cast<size_t>(y) * newBytes;
    for (int64_t k = drop; k < rowDots; ++k) {
      if (src[k >> 3] & (0x80u >> (k & 7))) continue;
      const int64_t j = k - drop;
      dst[j >> 3] &= static_cast<uint8_t>(~(0x80u >> (j & 7)));
    }
  }
  rect->left = 0;
  rect->right = newBytes * 8 - 1;
  return out;
}

// The page's bitmap, kept for the whole job and grown when a page needs more: a fresh
// buffer per page would cost the kernel a fault and a zeroed page per 4 KiB each time.
struct KeptBitmap {
  uint8_t* data = nullptr;
  size_t capacity = 0;
  ~KeptBitmap() { free(data); }
};
KeptBitmap gBitmap;

// Room for `size` bytes (content not kept); null when memory runs out.
uint8_t* ReserveBitmap(size_t size) {
  if (gBitmap.data && gBitmap.capacity >= size) return gBitmap.data;
  free(gBitmap.data);
  gBitmap.data = static_cast<uint8_t*>(malloc(size));
  gBitmap.capacity = gBitmap.data ? size : 0;
  return gBitmap.data;
}

}  // namespace

BitmapGeometry OutputGeometry(const tagRECT& imageRect, bool mirror, uint32_t labelWidth) {
  tagRECT r;
  r.left = std::max<int32_t>(imageRect.left, 0);
  r.top = std::max<int32_t>(imageRect.top, 0);
  r.right = imageRect.right;
  r.bottom = imageRect.bottom;
  // A turned crop can start above or left of the label; keep its full size at the edge.
  if (imageRect.top < 0) r.bottom = ClampToInt32(int64_t{imageRect.bottom} - imageRect.top);
  if (imageRect.left < 0) r.right = ClampToInt32(int64_t{imageRect.right} - imageRect.left);
  if (mirror) {
    const int64_t left = int64_t{labelWidth} - r.right;
    const int64_t right = int64_t{labelWidth} - r.left;
    r.left = static_cast<int32_t>(static_cast<uint32_t>(left));
    r.right = static_cast<int32_t>(static_cast<uint32_t>(right));
  }
  BitmapGeometry geo{};
  geo.rect = r;
  const int64_t aligned = r.left / 8 * 8;
  geo.bitsPerRow = ClampToInt32(r.right - aligned + 1);
  geo.bytesPerRow = ClampToInt32((r.right - aligned + 8) / 8);
  geo.rows = ClampToInt32(int64_t{r.bottom} - r.top + 1);
  geo.alignedLeft = r.left > 0 ? r.left / 8 * 8 : 0;
  return geo;
}

void PackBitmap(const PageImage& image, const BitmapGeometry& geo, bool mirror, uint8_t* bits) {
  const int32_t R = geo.bytesPerRow;
  const int32_t N = geo.rows;
  memset(bits, 255, static_cast<size_t>(R) * static_cast<size_t>(N));
  if (!image.pixels) return;
  const int32_t rows = std::min(image.height, N);
  const int32_t rowDots = R * 8;
  const int32_t offset = ((geo.rect.left % 8) + 8) % 8;
  const int32_t span = geo.rect.right - geo.rect.left;
  // Each row stays within its own R bytes, so no row ever spills into the next one.
  const int32_t count = std::max<int32_t>(0, std::min(image.width, rowDots - offset));
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* src = image.pixels + static_cast<size_t>(y) * static_cast<size_t>(image.stride);
    uint8_t* dst = bits + static_cast<size_t>(y) * static_cast<size_t>(R);
    if (mirror) {
      PackRowMirrored(src, image.width, span, rowDots, dst);
    } else {
      PackRow(src, count, offset, dst);
    }
  }
}

std::vector<PrintStep> PlanPrintSteps(const tagOEMCFG& cfg, uint32_t page, int16_t copies,
                                      bool last, uint32_t* printed) {
  std::vector<PrintStep> steps;
  const int32_t K = copies;
  auto cut = [&](int64_t n) { steps.push_back({PrintStep::kCutter, n}); };
  auto block = [&](int64_t n) { steps.push_back({PrintStep::kBlock, n}); };
  if (cfg.dwOperationAfterPrn != 4) {
    block(K);
    return steps;
  }
  switch (cfg.dwOperationModeAfterPrn) {
    case 1:  // cut after every label: set once, on the first page
      if (page == 1) cut(1);
      block(K);
      *printed += static_cast<uint32_t>(K);
      break;
    case 2:  // one cut at the end of the job
      if (!last && page == 1) cut(0);
      if (last) cut(K <= 1 ? 1 : K);
      block(K);
      *printed += static_cast<uint32_t>(K);
      break;
    case 3:  // a cut after every I labels of the job
      if (cfg.sIntervalValue <= 0) {
        cut(last ? 1 : 0);
        block(K);
        *printed += static_cast<uint32_t>(K);
      } else {
        PlanInterval(cfg.sIntervalValue, K, page, last, printed, &steps);
      }
      break;
    default:  // unknown cut method: the page gets no bitmap and no PRINT
      break;
  }
  return steps;
}

bool WritePageOutput(CTSPLRenderClass& renderer, const tagOEMCFG& cfg, const _DEVMODE& dev,
                     _OEMPDEV& pdev, const PageImage& image, const tagRECT& imageRect,
                     int rotationType, bool last) {
  const bool mirror = cfg.sMirror != 0;
  const BitmapGeometry geo = OutputGeometry(imageRect, mirror, pdev.dwLabelWidth);
  const bool empty = geo.bytesPerRow <= 0 || geo.rows <= 0;
  const size_t bitmapBytes = empty ? 0 : static_cast<size_t>(geo.bytesPerRow) * geo.rows;
  uint8_t* bitmap = empty ? nullptr : ReserveBitmap(bitmapBytes);
  if (!bitmap) {
    VLOG_DEBUG("page %u: no bitmap of %d x %d bytes", pdev.dwCurPageNum, geo.bytesPerRow, geo.rows);
    ReportPageError(pdev.dwCurPageNum, "not printed",
                    empty ? "the page has no printable area" : "not enough memory for its bitmap");
    return false;
  }
  PackBitmap(image, geo, mirror, bitmap);
  DumpPageBitmap(renderer, pdev.dwCurPageNum, bitmap, geo.bytesPerRow, geo.rows);

  tagRECT out = geo.rect;
  ShiftForRotation(cfg, dev, pdev, rotationType, &out);
  // A left shift past the label's edge drops what falls before it instead of being
  // clamped away by the BITMAP command.
  size_t sentBytes = bitmapBytes;
  MallocBytes shifted;
  if (const int64_t drop = DotsLeftOfLabel(cfg, out); drop > 0) {
    shifted = DropLeftDots(bitmap, geo, drop, &out);
    if (!shifted) {
      ReportPageError(pdev.dwCurPageNum, "not printed", "not enough memory for its bitmap");
      return false;
    }
    sentBytes = static_cast<size_t>(out.right + 1) / 8 * geo.rows;
    bitmap = shifted.get();
  }

  renderer.OutPutCLSCommand();
  // Mirrored in a label width of 0 the rectangle lies left of the label and rounds to up
  // to 7 dots less; the label itself is as wide as the unmirrored page's, or the printer
  // drops the last columns.
  const BitmapGeometry sizeGeo = mirror ? OutputGeometry(imageRect, false, 0) : geo;
  WriteLabelSize(renderer, cfg, dev, pdev, sizeGeo, &out);

  uint32_t printed = pdev.dwPagePrinted;
  const std::vector<PrintStep> steps =
      PlanPrintSteps(cfg, pdev.dwCurPageNum, pdev.sCurCopies, last, &printed);
  pdev.dwPagePrinted = printed;
  for (const PrintStep& step : steps) {
    if (step.kind == PrintStep::kCutter) {
      renderer.OutputCutterCmd(step.value);
      continue;
    }
    renderer.OutPutBITMAPCommand(out);
    fwrite(bitmap, 1, sentBytes, stdout);
    renderer.OutputCRCMD();
    renderer.OutPutCopiesCommand(step.value);
  }
  return true;
}

}  // namespace quorvel::render
