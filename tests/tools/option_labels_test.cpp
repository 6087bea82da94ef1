// Every option through the built filter and the 4-inch 203 dpi PPD of the family: each row is
// a job (options, pages) with the SIZE, BITMAP, PRINT and media lines a user of the label
// printer expects, and why. The widest printable width is 104 mm = 831 dots.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/filter_runner.h"
#include "tests/support/raster_writer.h"
#include "tests/support/stdout_capture.h"

namespace {

// The command lines of a TSPL stream, one per line, from the readable dump; only the lines a
// row is about (media, OFFSET, SIZE, BITMAP without its mode, PRINT, SET CUTTER) are kept.
std::string Commands(const std::string& tspl) {
  std::string out, line;
  std::istringstream dump(quorvel::test::ReadableTspl(tspl));
  while (std::getline(dump, line)) {
    if (line.rfind("BITMAP ", 0) == 0) {
      size_t comma = 0;
      for (int i = 0; i < 4 && comma != std::string::npos; ++i) comma = line.find(',', comma + 1);
      out += line.substr(0, comma) + "\n";
      continue;
    }
    for (const char* keep : {"GAP", "BLINE", "OFFSET", "SIZE", "PRINT", "SET CUTTER"}) {
      if (line.rfind(keep, 0) == 0) out += line + "\n";
    }
  }
  return out;
}

// A white page of w x h dots at 203 dpi with a black box (inclusive edges).
quorvel::test::RasterPage Page(uint32_t w, uint32_t h, uint32_t l, uint32_t t, uint32_t r,
                               uint32_t b, uint32_t copies = 1, bool collate = false) {
  quorvel::test::RasterPage page;
  page.width = w;
  page.height = h;
  page.copies = copies;
  page.collate = collate;
  page.fill = [=](uint32_t y, uint8_t* row, uint32_t bytes) {
    for (uint32_t i = 0; i < bytes; ++i) row[i] = 255;
    if (y < t || y > b) return;
    for (uint32_t x = l; x <= r && x < w; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = 0;
  };
  return page;
}

struct Row {
  const char* why;
  const char* options;
  std::vector<quorvel::test::RasterPage> pages;
  const char* expected;       // Commands() of the job's output
  const char* warnings = "";  // the WARNING lines of its standard error
};

// The lines of a standard error text that start with "WARNING:".
std::string Warnings(const std::string& err) {
  std::string out;
  size_t pos = 0;
  while (pos < err.size()) {
    size_t end = err.find('\n', pos);
    if (end == std::string::npos) end = err.size();
    if (err.compare(pos, 8, "WARNING:") == 0) out += err.substr(pos, end - pos + 1);
    pos = end + 1;
  }
  return out;
}

TEST(OptionLabels, EveryOptionPrintsTheExpectedLabel) {
  const Row rows[] = {
      {"6 x 4 page turned Left90 is fitted by its turned width (812 <= 831): a whole 4 x 6 label",
       "Rotation=Left90",
       {Page(1218, 812, 0, 0, 1217, 811)},
       "GAP 3 mm,0 mm\nOFFSET 0 mm\nSET CUTTER OFF\nSIZE 816 dot,1218 dot\nBITMAP "
       "0,0,102,1218\nPRINT 1,1\n"},
      {"4 x 6 page turned Left90 is 1218 wide: scaled by f = 831 / 1218 to (int)(812 f) = 554 x "
       "(int)(1218 f) = 831 before the turn; turned, the 831 columns are cropped to whole bytes "
       "(832, R 104, the last one blank) and its 554 rows are the label's length",
       "Rotation=Left90",
       {Page(812, 1218, 0, 0, 811, 1217)},
       "GAP 3 mm,0 mm\nOFFSET 0 mm\nSET CUTTER OFF\nSIZE 832 dot,554 dot\nBITMAP "
       "0,0,104,554\nPRINT 1,1\n"},
      {"top-left 40-dot block of a 4 x 6 page turned Left90 with SavePaper: the area shrink to "
       "554 x 831 gives dot 26 source dots 39..39 (27 x 812 / 554 = 39.6) and dot 27 source dots "
       "40.., so 27 black dots each way (R (26 + 8) / 8 = 4); saved paper: 27 + 8 = 35 long, as "
       "wide as the 1224-dot turned page capped to (831 + 7) / 8 x 8 = 832",
       "Rotation=Left90 SavePaper=On",
       {Page(812, 1218, 0, 0, 39, 39)},
       "GAP 3 mm,0 mm\nOFFSET 0 mm\nSET CUTTER OFF\nSIZE 832 dot,35 dot\nBITMAP 0,0,4,27\nPRINT "
       "1,1\n"},
      {"the same with PrintMode=ConvertFirst: the turned, cropped 40 x 40 block at (0, 772) is "
       "scaled by 831 / 1218 to (int)27.3 = 27 dots at (0, 526), kept where the page puts it; "
       "the label is then sized as above",
       "Rotation=Left90 PrintMode=ConvertFirst",
       {Page(812, 1218, 0, 0, 39, 39)},
       "GAP 3 mm,0 mm\nOFFSET 0 mm\nSET CUTTER OFF\nSIZE 832 dot,35 dot\nBITMAP 0,0,4,27\nPRINT "
       "1,1\n"},
      {"mirror keeps the unmirrored SIZE (800, not 793)",
       "Mirror=Mirrored",
       {Page(800, 100, 0, 0, 799, 99)},
       "GAP 3 mm,0 mm\nOFFSET 0 mm\nSET CUTTER OFF\nSIZE 800 dot,100 dot\nBITMAP "
       "0,0,100,100\nPRINT 1,1\n"},
      {"continuous media is sent as TSPL's continuous mode",
       "MediaType=Continuous",
       {Page(16, 8, 0, 0, 15, 7)},
       "GAP 0 mm,0 mm\nOFFSET 0 mm\nSET CUTTER OFF\nSIZE 16 dot,8 dot\nBITMAP 0,0,2,8\nPRINT "
       "1,1\n"},
      {"PrinterSetting sends no media line",
       "MediaType=PrinterSetting",
       {Page(16, 8, 0, 0, 15, 7)},
       "OFFSET 0 mm\nSET CUTTER OFF\nSIZE 16 dot,8 dot\nBITMAP 0,0,2,8\nPRINT 1,1\n"},
      {"Feed -1 mm is sent, not taken for a missing option",
       "Feed=-1",
       {Page(16, 8, 0, 0, 15, 7)},
       "GAP 3 mm,0 mm\nOFFSET -1 mm\nSET CUTTER OFF\nSIZE 16 dot,8 dot\nBITMAP 0,0,2,8\nPRINT "
       "1,1\n"},
      {"left shift of 2 mm (16 dots) drops the first 16 columns: 2 bytes fewer at x 0",
       "HorizontalOffset=Left HorizontalOffsetValue=2",
       {Page(64, 8, 0, 0, 63, 7)},
       "GAP 3 mm,0 mm\nOFFSET 0 mm\nSET CUTTER OFF\nSIZE 64 dot,8 dot\nBITMAP 0,0,6,8\nPRINT "
       "1,1\n"},
      {"3 pages x 2 copies, cut every 10: 2 + 2 + 2 labels, the last one cut",
       "Mode=Cut CutMethod=EveryInterval Interval=10",
       {Page(16, 8, 0, 0, 15, 7, 2), Page(16, 8, 0, 0, 15, 7, 2), Page(16, 8, 0, 0, 15, 7, 2)},
       "GAP 3 mm,0 mm\nOFFSET 0 mm\n"
       "SIZE 16 dot,8 dot\nSET CUTTER OFF\nBITMAP 0,0,2,8\nPRINT 1,2\n"
       "SIZE 16 dot,8 dot\nSET CUTTER OFF\nBITMAP 0,0,2,8\nPRINT 1,2\n"
       "SIZE 16 dot,8 dot\nSET CUTTER OFF\nBITMAP 0,0,2,8\nPRINT 1,1\nSET CUTTER 1\n"
       "BITMAP 0,0,2,8\nPRINT 1,1\n"},
      {"a raw raster asking for 3 collated copies prints all 3 of each page",
       "",
       {Page(16, 8, 0, 0, 15, 7, 3, true), Page(16, 8, 0, 0, 15, 7, 3, true)},
       "GAP 3 mm,0 mm\nOFFSET 0 mm\nSET CUTTER OFF\nSIZE 16 dot,8 dot\nBITMAP 0,0,2,8\nPRINT 1,3\n"
       "SIZE 16 dot,8 dot\nBITMAP 0,0,2,8\nPRINT 1,3\n"},
      {"the PPD's longest custom label is 1000 mm = (int)(1000 x 203 / 25.4 + 0.5) = 7992 dots: "
       "page 1 is exactly that long, page 2 (as a Custom.100x3000mm page) longer; both are sent",
       "",
       {Page(16, 7992, 0, 0, 15, 7), Page(16, 8000, 0, 0, 15, 7)},
       "GAP 3 mm,0 mm\nOFFSET 0 mm\nSET CUTTER OFF\nSIZE 16 dot,7992 dot\nBITMAP 0,0,2,7992\n"
       "PRINT 1,1\nSIZE 16 dot,8000 dot\nBITMAP 0,0,2,8000\nPRINT 1,1\n",
       "WARNING: Page 2: the label is 8000 dots long, longer than the longest label the printer "
       "takes (7992 dots); it may be refused or cut short\n"},
      {"a block at x 900 of a 1000-dot page converted first is not fitted (only its 48 dots count)"
       ": label 896 + the cap (831 + 7) / 8 x 8 = 1728 dots, wider than the 832 the head prints",
       "PrintMode=ConvertFirst",
       {Page(1000, 16, 900, 0, 939, 15)},
       "GAP 3 mm,0 mm\nOFFSET 0 mm\nSET CUTTER OFF\nSIZE 1728 dot,24 dot\nBITMAP 896,0,6,16\n"
       "PRINT 1,1\n",
       "WARNING: Page 1: the label is 1728 dots wide, wider than the widest printed image (832 "
       "dots); the printer drops what lies beyond\n"},
  };
  const std::string ppd = std::string(QEV_PPD_DIR) + "/qevcp-tspl-4in-203dpi.ppd";
  for (const Row& row : rows) {
    quorvel::test::FilterRun run;
    run.args = quorvel::test::JobArgs(row.options);
    run.ppd = ppd;
    run.stdinData = quorvel::test::RasterBytes(row.pages);
    const quorvel::test::RunResult r = quorvel::test::RunFilter(run);
    EXPECT_EQ(r.exitStatus, 0) << row.why << "\n" << r.err;
    EXPECT_EQ(Commands(r.out), row.expected) << row.why << " (" << row.options << ")";
    EXPECT_EQ(Warnings(r.err), row.warnings) << row.why << " (" << row.options << ")";
  }
}

}  // namespace
