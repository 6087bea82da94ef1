// Creating the system ourselves is the only way PAPPL 1.3 offers to add a MIME filter
// before the system runs; the options and defaults follow PAPPL's own system callback so
// `server -o ...` means what the PAPPL documentation says.
#include "app/system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/pdf_filter.h"

namespace {

constexpr char kName[] = "qevcp-printer-app";

pappl_loglevel_t LogLevel(const char* value) {
  static const struct {
    const char* name;
    pappl_loglevel_t level;
  } kLevels[] = {{"fatal", PAPPL_LOGLEVEL_FATAL},
                 {"error", PAPPL_LOGLEVEL_ERROR},
                 {"warn", PAPPL_LOGLEVEL_WARN},
                 {"info", PAPPL_LOGLEVEL_INFO},
                 {"debug", PAPPL_LOGLEVEL_DEBUG}};
  for (const auto& l : kLevels)
    if (value && strcmp(value, l.name) == 0) return l.level;
  return PAPPL_LOGLEVEL_WARN;
}

pappl_soptions_t ServerOptions(const char* value) {
  static const struct {
    const char* name;
    pappl_soptions_t set, clear;
  } kOptions[] = {
      {"none", 0, ~0u},
      {"dnssd-host", PAPPL_SOPTIONS_DNSSD_HOST, 0},
      {"no-multi-queue", 0, PAPPL_SOPTIONS_MULTI_QUEUE},
      {"raw-socket", PAPPL_SOPTIONS_RAW_SOCKET, 0},
      {"usb-printer", PAPPL_SOPTIONS_USB_PRINTER, 0},
      {"no-web-interface", 0, PAPPL_SOPTIONS_WEB_INTERFACE},
      {"web-log", PAPPL_SOPTIONS_WEB_LOG, 0},
      {"web-network", PAPPL_SOPTIONS_WEB_NETWORK, 0},
      {"web-remote", PAPPL_SOPTIONS_WEB_REMOTE, 0},
      {"web-security", PAPPL_SOPTIONS_WEB_SECURITY, 0},
      {"no-tls", PAPPL_SOPTIONS_NO_TLS, PAPPL_SOPTIONS_WEB_TLS},
  };
  pappl_soptions_t options = PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE;
  for (const char* p = value; p && *p;) {
    size_t length = strcspn(p, ",");
    for (const auto& o : kOptions)
      if (strlen(o.name) == length && strncmp(p, o.name, length) == 0)
        options = (options & ~o.clear) | o.set;
    p += length + (p[length] == ',');
  }
  return options;
}

// PAPPL's default spool directory: the snap's data, /var/spool for root, ~/.config, or
// the temporary directory as a last resort.
std::string SpoolDirectory() {
  const char* snap = getenv("SNAP_COMMON");
  const char* home = getenv("HOME");
  if (snap) return std::string(snap) + "/" + kName + ".d";
  if (getuid() == 0 && (mkdir("/var/spool", 0777) == 0 || errno == EEXIST))
    return std::string("/var/spool/") + kName;
  if (home) {
    std::string config = std::string(home) + "/.config";
    if (mkdir(config.c_str(), 0777) == 0 || errno == EEXIST) return config + "/" + kName + ".d";
  }
  return std::string(papplGetTempDir()) + "/" + kName + std::to_string(getuid()) + ".d";
}

}  // namespace

pappl_system_t* CreateSystem(int num_options, cups_option_t* options, void*) {
  int port = 0;
  if (const char* value = cupsGetOption("server-port", num_options, options)) {
    char* end = nullptr;
    errno = 0;
    long number = strtol(value, &end, 10);
    if (number < 0 || number > 65535 || errno == ERANGE || *end || end == value) {
      fprintf(stderr, "%s: Bad 'server-port' value.\n", kName);
      return nullptr;
    }
    port = int(number);
  }
  const char* spool = cupsGetOption("spool-directory", num_options, options);
  std::string defaultSpool = spool ? "" : SpoolDirectory();
  pappl_system_t* system =
      papplSystemCreate(ServerOptions(cupsGetOption("server-options", num_options, options)), kName,
                        port, "_print,_universal", spool ? spool : defaultSpool.c_str(),
                        cupsGetOption("log-file", num_options, options),
                        LogLevel(cupsGetOption("log-level", num_options, options)),
                        cupsGetOption("auth-service", num_options, options), false);
  if (!system) return nullptr;
  if (const char* group = cupsGetOption("admin-group", num_options, options))
    papplSystemSetAdminGroup(system, group);
  if (const char* host = cupsGetOption("server-hostname", num_options, options))
    papplSystemSetHostName(system, host);
  if (!cupsGetOption("private-server", num_options, options))
    papplSystemAddListeners(system, cupsGetOption("listen-hostname", num_options, options));
  AddPdfFilter(system);
  return system;
}
