// qevcp-printer-app: an IPP Everywhere printer application for TSPL label printers on
// PAPPL, printing every job through the rastertoqevcp filter.
#include <pappl/pappl.h>

#include "app/drivers.h"
#include "app/system.h"

// PAPPL 1.3 looks the footer up in its message catalogue without checking for null, so
// every web page of a system without a footer crashes the server; there must be one.
static const char kFooterHtml[] =
    "qevcp-printer-app " QEV_APP_VERSION ": TSPL labels through rastertoqevcp";

int main(int argc, char* argv[]) {
  int count = 0;
  pappl_pr_driver_t* drivers = PaplDrivers(&count);
  return papplMainloop(argc, argv, QEV_APP_VERSION, kFooterHtml, count, drivers, AutoAddCallback,
                       DriverCallback, nullptr, nullptr, CreateSystem, nullptr, nullptr);
}
