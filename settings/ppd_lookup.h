// PPD lookups for the print settings: the job's choice of a printer option (whose code string
// carries the value) and the value of a plain main keyword read from the PPD file itself.
#pragma once

#include <cups/ppd.h>

#include <cstdint>

// Code string of the option's marked choice, else of its default choice; null when either
// argument is null or nothing is found. The text belongs to the PPD handle.
const char* GetOptionChoiceCode(const char* keyword, ppd_file_t* ppd);

// The code string read as a decimal integer (strtol base 10), narrowed to 32 bits; -1 when
// there is no code string.
int32_t GetOptionChoiceIndex(const char* keyword, ppd_file_t* ppd);

// The code string read as a floating-point number, narrowed to single precision; -1.0 when
// there is no code string.
float GetOptionChoiceIndexf(const char* keyword, ppd_file_t* ppd);

// Value of the first line of the PPD file named by the environment variable "PPD" whose main
// keyword equals `keyword` (without its asterisk), or null. The copy stays valid until the
// process ends; the caller does not release it.
const char* GetPpdKeywordValue(const char* keyword);
