// Driver descriptions built from the PPDs themselves: label sizes, the option choices and
// their defaults come from the model's PPD, so the IPP side and the filter never disagree.
#include "app/drivers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <list>
#include <mutex>

#include "app/filter_engine.h"
#include "app/job_options.h"
#include "app/ppd_model.h"
#include "app/test_label.h"

namespace {

DriverInfo kDrivers[] = {
    {"tspl-4in-203dpi", "Generic TSPL Label Printer 4in 203dpi", "qevcp-tspl-4in-203dpi.ppd", 104},
    {"tspl-4in-300dpi", "Generic TSPL Label Printer 4in 300dpi", "qevcp-tspl-4in-300dpi.ppd", 104},
    {"tspl-2in-203dpi", "Generic TSPL Label Printer 2in 203dpi", "qevcp-tspl-2in-203dpi.ppd", 54},
    {"tspl-2in-300dpi", "Generic TSPL Label Printer 2in 300dpi", "qevcp-tspl-2in-300dpi.ppd", 54},
};
constexpr int kDriverCount = sizeof kDrivers / sizeof kDrivers[0];

// PAPPL keeps pointers to the media names, so they live for the whole process.
std::list<std::string>& NameStore() {
  static std::list<std::string> names;
  return names;
}
std::mutex gNameLock;

const char* KeepName(const std::string& name) {
  std::lock_guard<std::mutex> hold(gNameLock);
  return NameStore().emplace_back(name).c_str();
}

// "100x150mm" or "4x6in" -> PWG self-describing name and size in hundredths of mm.
bool SizeFromPpdName(const std::string& ppdName, std::string* pwg, int* width, int* length) {
  double across = 0, along = 0;
  char units[3] = {0};
  if (sscanf(ppdName.c_str(), "%lfx%lf%2[a-z]", &across, &along, units) != 3 || across <= 0 ||
      along <= 0)
    return false;
  bool inches = strcmp(units, "in") == 0;
  if (!inches && strcmp(units, "mm") != 0) return false;
  *width = int(across * (inches ? 2540 : 100) + 0.5);
  *length = int(along * (inches ? 2540 : 100) + 0.5);
  char name[128];
  pwgFormatSizeName(name, sizeof name, inches ? "oe" : "om", nullptr, *width, *length,
                    inches ? "in" : "mm");
  *pwg = name;
  return true;
}

void SetMedia(const DriverInfo& driver, const PpdModel& model, pappl_pr_driver_data_t* data) {
  const PpdOptionChoices* sizes = model.Find("PageSize");
  data->num_media = 0;
  for (size_t i = 0; sizes && i < sizes->choices.size() && data->num_media < PAPPL_MAX_MEDIA - 2;
       i++) {
    std::string pwg;
    int width = 0, length = 0;
    if (!SizeFromPpdName(sizes->choices[i], &pwg, &width, &length)) continue;
    data->media[data->num_media++] = KeepName(pwg);
    if (sizes->choices[i] == sizes->defaultChoice || data->media_default.size_name[0] == '\0') {
      snprintf(data->media_default.size_name, sizeof data->media_default.size_name, "%s",
               pwg.c_str());
      data->media_default.size_width = width;
      data->media_default.size_length = length;
    }
  }
  data->media[data->num_media++] = KeepName("custom_min_10x10mm");
  data->media[data->num_media++] =
      KeepName("custom_max_" + std::to_string(driver.headMm) + "x1000mm");
  data->num_source = 1;
  data->source[0] = "main-roll";
  snprintf(data->media_default.source, sizeof data->media_default.source, "main-roll");
  snprintf(data->media_default.type, sizeof data->media_default.type, "labels");
  data->media_default.tracking = PAPPL_MEDIA_TRACKING_GAP;
  data->media_ready[0] = data->media_default;
  data->num_type = 2;
  data->type[0] = "labels";
  data->type[1] = "labels-continuous";
  data->tracking_supported = pappl_media_tracking_t(
      PAPPL_MEDIA_TRACKING_CONTINUOUS | PAPPL_MEDIA_TRACKING_GAP | PAPPL_MEDIA_TRACKING_MARK);
}

std::string Lower(std::string text) {
  for (char& c : text) c = char(tolower(static_cast<unsigned char>(c)));
  return text;
}

// "<name>-supported" and "<name>-default" for every vendor option the PPD has.
void AddVendorAttributes(const PpdModel& model, pappl_pr_driver_data_t* data, ipp_t* attrs) {
  data->num_vendor = 0;
  for (const VendorOption& v : VendorOptions()) {
    const PpdOptionChoices* o = model.Find(v.ppd);
    if (!o || data->num_vendor >= PAPPL_MAX_VENDOR) continue;
    std::string supported = std::string(v.ipp) + "-supported";
    std::string def = std::string(v.ipp) + "-default";
    if (v.kind == VendorKind::kKeyword) {
      std::vector<std::string> values;
      bool halftone = strcmp(v.ppd, "Halftone") == 0;
      if (halftone) values.push_back(kAutoHalftone);
      for (const std::string& c : o->choices)
        if (!halftone || Lower(c) != kAutoHalftone) values.push_back(Lower(c));
      std::vector<const char*> ptrs;
      ptrs.reserve(values.size());
      for (const std::string& s : values) ptrs.push_back(s.c_str());
      ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, supported.c_str(), int(ptrs.size()),
                    nullptr, ptrs.data());
      std::string value = halftone ? kAutoHalftone : Lower(o->defaultChoice);
      ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, def.c_str(), nullptr, value.c_str());
    } else {
      double lo = 0, hi = 0, v0 = 0;
      bool any = false;
      for (const std::string& c : o->choices) {
        char* end = nullptr;
        double number = strtod(c.c_str(), &end);
        if (!end || *end) continue;
        lo = any ? std::min(lo, number) : number;
        hi = any ? std::max(hi, number) : number;
        any = true;
      }
      if (!any) continue;
      v0 = strtod(o->defaultChoice.c_str(), nullptr);
      ippAddRange(attrs, IPP_TAG_PRINTER, supported.c_str(), int(lo * v.scale), int(hi * v.scale));
      ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, def.c_str(), int(v0 * v.scale));
    }
    data->vendor[data->num_vendor++] = v.ipp;
  }
}

// Identify-Printer: the printer beeps (TSPL "SOUND level,interval").
void IdentifyCallback(pappl_printer_t* printer, pappl_identify_actions_t, const char*) {
  pappl_device_t* device = papplPrinterOpenDevice(printer);
  if (!device) return;
  static const char kBeep[] = "SOUND 5,200\r\n";
  papplDeviceWrite(device, kBeep, sizeof kBeep - 1);
  papplDeviceFlush(device);
  papplPrinterCloseDevice(printer);
}

}  // namespace

const DriverInfo* FindDriver(const char* name) {
  for (const DriverInfo& d : kDrivers)
    if (name && strcmp(d.name, name) == 0) return &d;
  return nullptr;
}

pappl_pr_driver_t* PaplDrivers(int* count) {
  static pappl_pr_driver_t drivers[kDriverCount];
  for (int i = 0; i < kDriverCount; i++)
    drivers[i] = {kDrivers[i].name, kDrivers[i].description, nullptr, nullptr};
  *count = kDriverCount;
  return drivers;
}

const char* TrackingKeyword(pappl_media_tracking_t tracking) {
  switch (tracking) {
    case PAPPL_MEDIA_TRACKING_CONTINUOUS:
    case PAPPL_MEDIA_TRACKING_WEB:
      return "continuous";
    case PAPPL_MEDIA_TRACKING_GAP:
      return "gap";
    case PAPPL_MEDIA_TRACKING_MARK:
      return "mark";
  }
  return "";
}

const char* LabelModeKeyword(pappl_label_mode_t mode) {
  switch (mode) {
    case PAPPL_LABEL_MODE_TEAR_OFF:
      return "tear-off";
    case PAPPL_LABEL_MODE_PEEL_OFF:
    case PAPPL_LABEL_MODE_PEEL_OFF_PREPEEL:
      return "peel-off";
    case PAPPL_LABEL_MODE_CUTTER:
      return "cutter";
    case PAPPL_LABEL_MODE_CUTTER_DELAYED:
      return "cutter-delayed";
    case PAPPL_LABEL_MODE_REWIND:
      return "rewind";
    default:
      return "";
  }
}

bool DriverCallback(pappl_system_t* system, const char* driver_name, const char*, const char*,
                    pappl_pr_driver_data_t* data, ipp_t** attrs, void*) {
  const DriverInfo* driver = FindDriver(driver_name);
  if (!driver) {
    papplLog(system, PAPPL_LOGLEVEL_ERROR, "Unknown driver '%s'.", driver_name ? driver_name : "");
    return false;
  }
  std::string error;
  const PpdModel* model = LoadPpdModel(PpdDirectory() + "/" + driver->ppd, &error);
  if (!model) {
    papplLog(system, PAPPL_LOGLEVEL_ERROR, "Driver '%s': %s", driver->name, error.c_str());
    return false;
  }
  data->printfile_cb = EnginePrintRaw;
  data->rstartjob_cb = EngineStartJob;
  data->rstartpage_cb = EngineStartPage;
  data->rwriteline_cb = EngineWriteLine;
  data->rendpage_cb = EngineEndPage;
  data->rendjob_cb = EngineEndJob;
  data->testpage_cb = TestLabelCallback;
  data->format = "application/vnd.tspl";
  snprintf(data->make_and_model, sizeof data->make_and_model, "%s", driver->description);
  data->kind = PAPPL_KIND_LABEL;
  data->ppm = 30;
  data->color_supported = pappl_color_mode_t(PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_MONOCHROME);
  data->color_default = PAPPL_COLOR_MODE_MONOCHROME;
  data->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
  data->content_default = PAPPL_CONTENT_AUTO;
  data->quality_default = IPP_QUALITY_NORMAL;
  data->scaling_default = PAPPL_SCALING_AUTO;
  data->orient_default = IPP_ORIENT_PORTRAIT;
  data->identify_cb = IdentifyCallback;
  data->identify_supported = PAPPL_IDENTIFY_ACTIONS_SOUND;
  data->identify_default = PAPPL_IDENTIFY_ACTIONS_SOUND;
  data->num_resolution = 1;
  data->x_resolution[0] = data->y_resolution[0] = model->dpi;
  data->x_default = data->y_default = model->dpi;
  data->borderless = true;
  data->left_right = data->bottom_top = 0;
  SetMedia(*driver, *model, data);
  data->mode_supported = pappl_label_mode_t(
      PAPPL_LABEL_MODE_TEAR_OFF | PAPPL_LABEL_MODE_PEEL_OFF | PAPPL_LABEL_MODE_CUTTER |
      PAPPL_LABEL_MODE_CUTTER_DELAYED | PAPPL_LABEL_MODE_REWIND);
  data->mode_configured = PAPPL_LABEL_MODE_TEAR_OFF;
  data->tear_offset_supported[0] = -500;  // the Feed choices, -5 to 10 mm
  data->tear_offset_supported[1] = 1000;
  data->speed_supported[0] = 2540;  // 1 to 8 in/s, in hundredths of mm/s
  data->speed_supported[1] = 8 * 2540;
  data->speed_default = 0;
  data->darkness_supported = 16;
  data->darkness_configured = 50;
  data->darkness_default = 0;
  if (!*attrs) *attrs = ippNew();
  AddVendorAttributes(*model, data, *attrs);
  // True of every label this application prints; PAPPL leaves them out for a simplex
  // printer without colour management, and IPP Everywhere clients look for them.
  ippAddString(*attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-default", nullptr,
               "auto");
  ippAddString(*attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-supported",
               nullptr, "auto");
  ippAddString(*attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "pwg-raster-document-sheet-back", nullptr,
               "normal");
  ippAddBoolean(*attrs, IPP_TAG_PRINTER, "preferred-attributes-supported", 0);
  return true;
}

const char* AutoAddCallback(const char*, const char*, const char* device_id, void*) {
  if (!device_id) return nullptr;
  int num = 0;
  cups_option_t* values = nullptr;
  num = papplDeviceParseID(device_id, &values);
  const char* cmd = cupsGetOption("COMMAND SET", num, values);
  if (!cmd) cmd = cupsGetOption("CMD", num, values);
  bool tspl = cmd && strstr(cmd, "TSPL") != nullptr;
  cupsFreeOptions(num, values);
  return tspl ? kDrivers[0].name : nullptr;
}
