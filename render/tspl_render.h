// CTSPLRenderClass: turns a job into TSPL on standard output. One emitter per TSPL command,
// the job preamble, the page pipeline (TransCommand) and the bitmap debug dump.
#pragma once

#include <cstdint>

#include "imaging/gdi_types.h"
#include "job/records.h"

class CTSPLRenderClass {
 public:
  CTSPLRenderClass();
  ~CTSPLRenderClass();

  // The records belong to the filter driver and outlive the renderer (borrowed).
  void SetOemCfgPointer(tagOEMCFG* cfg);
  void SetDevModePointer(_DEVMODE* devmode);
  void SetOemPdevPointer(_OEMPDEV* pdev);

  // Command emitters: each writes one command to standard output.
  bool OutputCRCMD();
  bool OutPutCLSCommand();
  bool OutPutSizeCommand(int32_t width, int32_t height);
  bool OutPutSizeCommand();
  bool OutputGapCmd(int16_t height, int16_t offset);
  bool OutputBLineCmd(int16_t height, int16_t offset);
  bool OutputPaperTypeCmd(int16_t method);
  bool OutputPeelCmd(int16_t on);
  bool OutputTearCmd(int16_t on);
  bool OutputCutterCmd(int64_t count);
  bool OutputFeedLenCmd(int64_t offset);
  bool OutPutREFERENCECommand(tagPOINT point);
  bool OutPutDIRECTIONCommand(bool first, bool second);
  bool OutPutDensityCommand(int32_t density);
  bool OutPutSpeedCommand(int32_t speed);
  bool OutPutBITMAPCommand(const tagRECT& rect);
  bool OutPutCopiesCommand(int64_t copies);
  bool OutPutOperationMode();
  bool SendCommand(const uint8_t* data, uint32_t length, uint8_t unused, const wchar_t* unused2);

  // The job preamble, written once before the first page.
  bool StartDocCMD();

  // Renders the page waiting in the page device and writes its commands.
  bool TransCommand(bool last);

  // Labels ordered from the printer so far: the sum of the counts of every PRINT written. The
  // page loop reports each page's share to CUPS for its page accounting.
  uint64_t LabelsPrinted() const { return m_labelsPrinted; }

  // Writes an image buffer to a BMP file for inspection.
  void LogData2BmpFile(const char* path, const uint8_t* data, uint32_t datalen, int32_t lWidth,
                       int32_t lHeight, int32_t bitCount);

 private:
  // Writes one formatted command with a single fwrite; false without an option record or
  // when nothing was written (an empty text writes nothing).
  bool WriteCommand(const char* text);

  tagOEMCFG* m_pOemCfg;
  _DEVMODE* m_pDevMode;
  _OEMPDEV* m_pOemPDev;
  uint64_t m_labelsPrinted = 0;
};
