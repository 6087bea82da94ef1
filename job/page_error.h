// The CUPS line for a page that is not printed. The page read, the page pipeline and the
// page output each refuse pages for their own reasons; the line reads the same for all.
#pragma once

// Writes "ERROR: Page <page> <what>: <why>\n" to standard error as one whole line
// (`what` is "skipped" for a page refused before it is read, "not printed" after).
void ReportPageError(unsigned page, const char* what, const char* why);
