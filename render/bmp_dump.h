// Bitmap dumps for inspection: the renderer's BMP writer (LogData2BmpFile, a member) and the
// per-page dump of the final 1-bit label bitmap into the directory named by QEVCP_DUMP_DIR.
#pragma once

#include <cstdint>
#include <string>

class CTSPLRenderClass;

namespace quorvel::render {

// The environment variable that asks for the page dumps.
constexpr const char* kDumpDirVariable = "QEVCP_DUMP_DIR";

// The file a page is dumped to: "<dir>/page-<n>.bmp".
std::string DumpFileName(const std::string& dir, uint32_t page);

// When QEVCP_DUMP_DIR names a writable directory, writes the packed page bitmap (rows of
// `bytesPerRow` bytes, top row first, a clear bit prints) there as a 1-bit BMP that viewers
// show upright. Does nothing otherwise. `bits` is borrowed.
void DumpPageBitmap(CTSPLRenderClass& renderer, uint32_t page, const uint8_t* bits,
                    int32_t bytesPerRow, int32_t rows);

}  // namespace quorvel::render
