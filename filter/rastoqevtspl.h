// The job entry and page loop: arguments, raster stream, PPD, cancel flag, and the hand-off
// of each buffered page to the renderer. Messages for CUPS go to standard error.
#pragma once

#include <cups/ppd.h>
#include <cups/raster.h>

#include <csignal>
#include <cstdint>

class CTSPLRenderClass;

// Set to 1 by the SIGTERM handler; the page loop only reads it.
extern volatile sig_atomic_t Canceled;

// The whole job as CUPS runs it. The result is 1 when the job printed nothing because of an
// error (usage, an input that cannot be opened, no pages, every page skipped or failed), so
// that cupsd stops the job instead of calling it completed; 0 otherwise, also after SIGTERM.
int RunFilter(int argc, char* argv[]);

// Points logger 0 at /tmp/qztspl.log and starts the trace, as QEVCP_TRACE asks: "durable"
// (the default), "fast" (no fsync) or "off" (no trace at all). A trace that has grown past
// kTraceLimitBytes is moved aside first.
void StartVanta();

constexpr unsigned long long kTraceLimitBytes = 16ull << 20;

// Opens argv[6] (7 arguments) or standard input (6) as a raster stream. 0 on success, 1 on
// failure (usage text or "ERROR: Unable to open raster file" already written).
int OpenPageStream(int argc, int* fd, char* argv[], cups_raster_t** raster);

// Opens the PPD named by the environment variable PPD. 0 on success, 1 on failure.
int OpenPpdFile(ppd_file_t** ppd);

// Marks the PPD's defaults, then the job's options (argv[5]).
void InitializeSetting(const char* options, ppd_file_t* ppd);

// SIGTERM handler: sets Canceled, nothing else.
void CancelJob(int sig);

// Configures the job on its first page (page number 1): fills the job records through the
// settings and has the renderer write the preamble. Other pages are left alone.
void InitPrintSetting(int page, ppd_file_t* ppd, cups_page_header2_t* header,
                      CTSPLRenderClass* renderer);

// Writes the page header to the trace (nineteen records).
void StartPage(ppd_file_t* ppd, cups_page_header2_t* header, int page);

// Reads the page's pixels into the page buffer (gOemPDev.pBufStart). A header that fails
// validation gets one "ERROR: ..." line naming page `page`; its pixel data is consumed so
// the stream stays in step, and no buffer is made.
void GetPrintData(cups_page_header2_t* header, cups_raster_t* raster, int page = 0);

// Renders the buffered page (number `page`) and releases the buffer.
void TransPrintData(int page, CTSPLRenderClass* renderer, bool last);

// Takes back a released page buffer of `size` bytes (handed over; null is ignored) so that
// the next page read can reuse it instead of asking the system for fresh memory.
void KeepPageBuffer(uint8_t* buffer, uint32_t size);

// Closes the PPD, the raster stream and the input file; reports a job without pages.
void CloseStreamFile(ppd_file_t* ppd, cups_raster_t* raster, int fd, int pages);
