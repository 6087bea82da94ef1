// Storage of the job records: one instance each for the whole process.
#include "job/records.h"

tagOEMCFG gOemCfg;
_DEVMODE gDevMode;
_OEMPDEV gOemPDev;
