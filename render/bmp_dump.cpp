// BMP files for inspection: LogData2BmpFile writes any image buffer of the pipeline, and the
// page dump writes each page's final 1-bit bitmap when the user asks for it.
#include "render/bmp_dump.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/dots.h"
#include "base/owned.h"
#include "logging/vanta.h"
#include "render/tspl_render.h"

namespace {

// Larger pictures are refused rather than allocated; no label comes near this.
constexpr int64_t kMaxDumpImageBytes = int64_t{1} << 30;

void PutLE16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}

void PutLE32(std::vector<uint8_t>* out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<uint8_t>(v >> shift));
}

// The 14-byte file header, the 40-byte info header and the palette of a BMP file.
std::vector<uint8_t> BmpHeaders(const tagBITMAPINFOHEADER& base, int32_t width, int32_t height,
                                int32_t bitCount, uint32_t imageSize) {
  const uint32_t dataOffset = bitCount == 1 ? 62 : bitCount == 8 ? 1078 : 54;
  std::vector<uint8_t> h;
  h.reserve(dataOffset);
  PutLE16(&h, 19778);  // "BM"
  PutLE32(&h, imageSize + dataOffset);
  PutLE16(&h, 0);
  PutLE16(&h, 0);
  PutLE32(&h, dataOffset);
  PutLE32(&h, 40);
  PutLE32(&h, static_cast<uint32_t>(width));
  PutLE32(&h, static_cast<uint32_t>(height));
  PutLE16(&h, base.biPlanes);
  PutLE16(&h, static_cast<uint16_t>(bitCount));
  PutLE32(&h, base.biCompression);
  PutLE32(&h, imageSize);
  PutLE32(&h, 3780);
  PutLE32(&h, 3780);
  PutLE32(&h, base.biClrUsed);
  PutLE32(&h, base.biClrImportant);
  if (bitCount == 1) {
    PutLE32(&h, 0x00000000);  // entry 0: black
    PutLE32(&h, 0x00FFFFFF);  // entry 1: white
  } else if (bitCount == 8) {
    for (uint32_t i = 0; i < 256; ++i) PutLE32(&h, i | i << 8 | i << 16 | 0xFFu << 24);
  }
  return h;
}

bool IsWritableDirectory(const char* dir) {
  struct stat st;
  return stat(dir, &st) == 0 && S_ISDIR(st.st_mode) && access(dir, W_OK | X_OK) == 0;
}

}  // namespace

void CTSPLRenderClass::LogData2BmpFile(const char* path, const uint8_t* data, uint32_t datalen,
                                       int32_t lWidth, int32_t lHeight, int32_t bitCount) {
  VLOG_DEBUG("datalen: %d, lWidth: %d, lHeight: %d", static_cast<int>(datalen), lWidth, lHeight);
  // Negative sizes or a picture too large to hold would only write a broken file.
  const int64_t stride = RowStride(lWidth, bitCount);
  const int64_t imageSize = stride * lHeight;
  if (!path || lWidth < 0 || lHeight < 0 || bitCount < 0 || imageSize > kMaxDumpImageBytes) {
    return;
  }
  const FilePtr owner(fopen(path, "wb"));
  if (!owner) return;
  FILE* file = owner.get();
  const tagBITMAPINFOHEADER base = m_pOemPDev ? m_pOemPDev->bmInfoHeader : tagBITMAPINFOHEADER{};
  const std::vector<uint8_t> headers =
      BmpHeaders(base, lWidth, lHeight, bitCount, static_cast<uint32_t>(imageSize));
  fwrite(headers.data(), 1, headers.size(), file);
  MallocBytes pixels = AllocFilled(static_cast<size_t>(imageSize), 0);
  if (pixels && lHeight > 0 && data) {
    const uint32_t rowLen = datalen / static_cast<uint32_t>(lHeight);
    // A source row longer than a file row is cut, never copied into the next row.
    const size_t copyLen = std::min<size_t>(rowLen, static_cast<size_t>(stride));
    for (int32_t i = 0; i < lHeight; ++i) {
      memcpy(pixels.get() + static_cast<size_t>(i) * stride, data + static_cast<size_t>(i) * rowLen,
             copyLen);
    }
  }
  if (pixels) fwrite(pixels.get(), 1, static_cast<size_t>(imageSize), file);
}

namespace quorvel::render {

std::string DumpFileName(const std::string& dir, uint32_t page) {
  return dir + "/page-" + std::to_string(page) + ".bmp";
}

void DumpPageBitmap(CTSPLRenderClass& renderer, uint32_t page, const uint8_t* bits,
                    int32_t bytesPerRow, int32_t rows) {
  const char* dir = getenv(kDumpDirVariable);
  if (!dir || !*dir || !bits || bytesPerRow <= 0 || rows <= 0) return;
  if (!IsWritableDirectory(dir)) {
    fprintf(stderr, "DEBUG: %s=%s is not a writable directory; page %u not dumped\n",
            kDumpDirVariable, dir, page);
    return;
  }
  // A BMP with a positive height lists its bottom row first: hand the rows over bottom up so
  // that viewers show the label upright.
  const size_t rowBytes = static_cast<size_t>(bytesPerRow);
  MallocBytes flipped = AllocFilled(rowBytes * static_cast<size_t>(rows), 255);
  if (!flipped) return;
  for (int32_t y = 0; y < rows; ++y) {
    memcpy(flipped.get() + static_cast<size_t>(rows - 1 - y) * rowBytes,
           bits + static_cast<size_t>(y) * rowBytes, rowBytes);
  }
  const std::string path = DumpFileName(dir, page);
  renderer.LogData2BmpFile(path.c_str(), flipped.get(),
                           static_cast<uint32_t>(rowBytes * static_cast<size_t>(rows)),
                           bytesPerRow * 8, rows, 1);
}

}  // namespace quorvel::render
