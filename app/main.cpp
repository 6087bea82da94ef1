// qevcp-printer-app: an IPP Everywhere printer application for TSPL label printers on
// PAPPL, printing every job through the rastertoqevcp filter.
#include <pappl/pappl.h>

#include "app/drivers.h"

int main(int argc, char* argv[]) {
  int count = 0;
  pappl_pr_driver_t* drivers = PaplDrivers(&count);
  return papplMainloop(argc, argv, QEV_APP_VERSION, nullptr, count, drivers, AutoAddCallback,
                       DriverCallback, nullptr, nullptr, nullptr, nullptr, nullptr);
}
