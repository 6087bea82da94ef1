// IPP job attributes to the filter's option string. The tables below are the whole
// mapping; PPD choice names are looked up in the model, never spelt here twice.
#include "app/job_options.h"

#include <strings.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// media-tracking -> MediaType choice.
const std::map<std::string, std::string> kTracking = {
    {"continuous", "Continuous"}, {"gap", "Gap"}, {"mark", "BlackMark"}};

// label-mode-configured -> Mode choice, and the CutMethod it implies (empty: the job's).
struct LabelMode {
  const char* mode;
  const char* cutMethod;
};
const std::map<std::string, LabelMode> kLabelModes = {{"tear-off", {"Tear", ""}},
                                                      {"peel-off", {"Peel", ""}},
                                                      {"cutter", {"Cut", ""}},
                                                      {"cutter-delayed", {"Cut", "EndOfJob"}},
                                                      {"rewind", {"None", ""}}};

// print-content-optimize -> Halftone choices in order of preference, used when no halftone
// was chosen: crisp thresholds for text and codes, error diffusion for photos, clustered
// dots (which print evenly on a thermal head) for graphics; mixed pages and "auto" take the
// automatic choice that thresholds codes and dithers photos where the PPD has it, mixed
// pages the adaptive threshold where it has not.
const std::map<std::string, std::vector<std::string>> kContentHalftone = {
    {"auto", {"Auto"}},
    {"text", {"Threshold"}},
    {"graphic", {"Clustered"}},
    {"text-and-graphic", {"Auto", "Adaptive"}},
    {"photo", {"FloydSteinberg"}}};

const std::vector<VendorOption> kVendorOptions = {
    {"label-gap-height", "GAPHeight", VendorKind::kNumber, 100},
    {"label-gap-offset", "GAPOffset", VendorKind::kNumber, 100},
    {"print-method", "PrintMethod", VendorKind::kKeyword, 1},
    {"label-cut-method", "CutMethod", VendorKind::kKeyword, 1},
    {"label-cut-interval", "Interval", VendorKind::kNumber, 1},
    {"halftone", "Halftone", VendorKind::kKeyword, 1},
    {"brightness", "Brightness", VendorKind::kNumber, 1},
    {"contrast", "Contrast", VendorKind::kNumber, 1},
    {"levels", "Levels", VendorKind::kNumber, 1},
    {"mirror", "Mirror", VendorKind::kKeyword, 1},
    {"negative", "NegativeFilm", VendorKind::kKeyword, 1},
    {"rotation", "Rotation", VendorKind::kKeyword, 1},
    {"auto-rotate", "AutoRotate", VendorKind::kKeyword, 1},
    {"save-paper", "SavePaper", VendorKind::kKeyword, 1},
    {"dashed-lines", "IsToDashed", VendorKind::kKeyword, 1},
};

// 1 in/s in print-speed units (hundredths of mm per second).
constexpr double kSpeedPerInch = 2540.0;

bool ParseNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = strtod(text.c_str(), &end);
  return end && *end == '\0' && std::isfinite(*value);
}

class OptionString {
 public:
  explicit OptionString(const PpdModel& ppd) : ppd_(ppd) {}
  // Adds option=choice when the PPD offers that choice.
  void Set(const char* option, const std::string& choice) {
    const PpdOptionChoices* o = ppd_.Find(option);
    if (!o || choice.empty()) return;
    for (const std::string& c : o->choices)
      if (c == choice) {
        text_ += (text_.empty() ? "" : " ") + std::string(option) + "=" + c;
        return;
      }
  }
  void SetNearest(const char* option, double value) {
    if (const PpdOptionChoices* o = ppd_.Find(option)) Set(option, NearestNumericChoice(*o, value));
  }
  bool Has(const char* option) const {
    return text_.find(std::string(option) + "=") != std::string::npos;
  }
  const std::string& text() const { return text_; }

 private:
  const PpdModel& ppd_;
  std::string text_;
};

void SetDarkness(const JobSettings& job, OptionString* out, const PpdModel& ppd) {
  const PpdOptionChoices* density = ppd.Find("Density");
  if (!density) return;
  if (!job.darknessAdjusted) {
    out->Set("Density", "PrinterDefault");
    return;
  }
  double top = 0, v;
  for (const std::string& c : density->choices)
    if (ParseNumber(c, &v) && v > top) top = v;
  int percent = job.darknessConfigured + job.darkness;
  percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
  out->SetNearest("Density", percent * top / 100.0);
}

}  // namespace

const char* const kAutoHalftone = "auto";

const std::vector<VendorOption>& VendorOptions() { return kVendorOptions; }

std::string NearestNumericChoice(const PpdOptionChoices& option, double value) {
  std::string best;
  double bestDistance = 0, v;
  for (const std::string& c : option.choices) {
    if (!ParseNumber(c, &v)) continue;
    double distance = std::fabs(v - value);
    if (best.empty() || distance < bestDistance) best = c, bestDistance = distance;
  }
  return best;
}

std::string ChoiceForKeyword(const PpdOptionChoices& option, const std::string& keyword) {
  for (const std::string& c : option.choices)
    if (strcasecmp(c.c_str(), keyword.c_str()) == 0) return c;
  return "";
}

std::string BuildFilterOptions(const JobSettings& job, const PpdModel& ppd) {
  OptionString out(ppd);
  if (auto tracking = kTracking.find(job.tracking); tracking != kTracking.end())
    out.Set("MediaType", tracking->second);
  if (auto mode = kLabelModes.find(job.labelMode); mode != kLabelModes.end()) {
    out.Set("Mode", mode->second.mode);
    out.Set("CutMethod", mode->second.cutMethod);
  }
  out.SetNearest("Feed", job.tearOffset / 100.0);
  SetDarkness(job, &out, ppd);
  if (job.speed > 0)
    out.SetNearest("PrintSpeed", job.speed / kSpeedPerInch);
  else
    out.Set("PrintSpeed", "PrinterDefault");

  for (const VendorOption& v : kVendorOptions) {
    auto value = job.vendor.find(v.ipp);
    const PpdOptionChoices* o = ppd.Find(v.ppd);
    if (value == job.vendor.end() || !o || out.Has(v.ppd)) continue;
    // "auto" halftone leaves the choice to print-content-optimize below.
    if (strcmp(v.ppd, "Halftone") == 0 && value->second == kAutoHalftone) continue;
    double number;
    if (v.kind == VendorKind::kKeyword)
      out.Set(v.ppd, ChoiceForKeyword(*o, value->second));
    else if (ParseNumber(value->second, &number))
      out.SetNearest(v.ppd, number / v.scale);
  }
  if (auto content = kContentHalftone.find(job.contentOptimize); content != kContentHalftone.end())
    for (const std::string& choice : content->second)
      if (!out.Has("Halftone")) out.Set("Halftone", choice);
  // Nothing chose a halftone: a PPD with an automatic one gets it, others keep their default.
  if (const PpdOptionChoices* h = ppd.Find("Halftone"); h && !out.Has("Halftone"))
    out.Set("Halftone", ChoiceForKeyword(*h, kAutoHalftone));
  return out.text();
}
