// The one table between IPP job attributes and the PPD options the filter reads: which
// attribute sets which PPD option, and how an IPP value becomes a PPD choice name.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "app/ppd_model.h"

// How an IPP value of a vendor attribute maps to a choice of its PPD option.
enum class VendorKind {
  kKeyword,  // IPP keyword = the PPD choice name in lower case
  kNumber,   // IPP integer = the choice's number times `scale`, snapped to the nearest choice
};

struct VendorOption {
  const char* ipp;  // IPP attribute name (job attribute; printer has -default/-supported)
  const char* ppd;  // PPD option keyword
  VendorKind kind;
  int scale;  // for kNumber: IPP units per PPD unit
};

// The "halftone" value that leaves the choice to print-content-optimize.
extern const char* const kAutoHalftone;

// The vendor attributes every driver offers, in the order the web page shows them.
const std::vector<VendorOption>& VendorOptions();

// The job's settings as IPP gives them, gathered from the job and the printer.
struct JobSettings {
  std::map<std::string, std::string> vendor;  // vendor attribute -> value text
  std::string tracking;           // media-col's media-tracking ("gap", "mark", "continuous")
  std::string labelMode;          // label-mode-configured ("tear-off", "cutter", ...)
  int tearOffset = 0;             // label-tear-offset-configured, hundredths of mm
  bool darknessAdjusted = false;  // print-darkness given by the job or as a default
  int darknessConfigured = 50;    // printer-darkness-configured, 0-100
  int darkness = 0;               // print-darkness, -100 to 100 relative to the above
  int speed = 0;                  // print-speed, hundredths of mm/s; 0 = the printer's own
  std::string contentOptimize;    // print-content-optimize
};

// The filter's option string ("Name=Choice ...") for the job. Values the PPD does not offer
// are left out, so the PPD default holds for them.
std::string BuildFilterOptions(const JobSettings& job, const PpdModel& ppd);

// The PPD choice nearest to `value` among the choices of `option` whose names are numbers;
// empty when the option has none.
std::string NearestNumericChoice(const PpdOptionChoices& option, double value);

// The PPD choice whose name matches `keyword` ignoring case; empty when none does.
std::string ChoiceForKeyword(const PpdOptionChoices& option, const std::string& keyword);
