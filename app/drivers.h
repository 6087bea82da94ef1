// The four drivers of the application, one per PPD of the family (2- and 4-inch heads at
// 203 and 300 dpi), and the PAPPL callbacks that describe them and pick one for a device.
#pragma once

#include <pappl/pappl.h>

#include <string>

struct DriverInfo {
  const char* name;         // PAPPL driver name
  const char* description;  // make and model shown to users
  const char* ppd;          // PPD file name in PpdDirectory()
  int headMm;               // printable width
};

const DriverInfo* FindDriver(const char* name);
// The drivers as PAPPL lists them; `count` receives their number.
pappl_pr_driver_t* PaplDrivers(int* count);

bool DriverCallback(pappl_system_t* system, const char* driver_name, const char* device_uri,
                    const char* device_id, pappl_pr_driver_data_t* data, ipp_t** attrs,
                    void* cbdata);
// A USB printer whose IEEE 1284 device ID lists TSPL gets the 4-inch 203 dpi driver.
const char* AutoAddCallback(const char* device_info, const char* device_uri, const char* device_id,
                            void* data);

const char* TrackingKeyword(pappl_media_tracking_t tracking);
const char* LabelModeKeyword(pappl_label_mode_t mode);
