// Text layout of one trace record: the header written when the record is made, the source
// position suffix, and the closing CR LF with the 8191-byte cap.
#pragma once

#include <ctime>

#include "logging/vanta.h"

namespace quorvel {
namespace vanta {

// "LOG_TRACE" .. "LOG_FATAL"; "LOG_UNKNOWN" for a level outside 0..6.
const char* levelName(int level);

// Local midnight of the day that contains `t`.
time_t localMidnight(time_t t);

// Writes "YYYYMMDD HH:MM:SS.mmm [tid] LEVEL " into content from contentLen, using the cached
// local midnight for the time of day.
void writeRecordHeader(LogData* record);

// Appends " <file name after the last '/' or '\'>:<line>", as far as space remains.
void appendSourceSuffix(LogData* record, const char* file, int line);

// Appends CR LF; a record longer than 8189 bytes is cut to 8191 with CR LF as its last bytes.
void finishRecordLine(LogData* record);

}  // namespace vanta
}  // namespace quorvel
