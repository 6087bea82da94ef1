// PDF documents: ghostscript renders each page at the printer's resolution and page
// size, and the pages go through the same raster callbacks (and so the same filter run)
// as a PWG raster job.
#pragma once

#include <pappl/pappl.h>

// Registers application/pdf with the system; call before the system runs.
void AddPdfFilter(pappl_system_t* system);
