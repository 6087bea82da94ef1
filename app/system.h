// The PAPPL system of the application: created from the server's -o options as PAPPL's
// own default would, plus the document filters the application adds (PDF).
#pragma once

#include <pappl/pappl.h>

// papplMainloop's system callback.
pappl_system_t* CreateSystem(int num_options, cups_option_t* options, void* data);
