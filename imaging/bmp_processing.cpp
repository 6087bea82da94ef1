// CBmpProcessing construction; the operations live in one file per group.
#include "imaging/bmp_processing.h"

CBmpProcessing::CBmpProcessing() {}
CBmpProcessing::~CBmpProcessing() {}
