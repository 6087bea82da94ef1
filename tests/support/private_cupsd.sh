# Shell support for the end-to-end tests: a private cupsd on a Unix socket with its own
# configuration, spool and logs under one directory, so a test never touches the system's
# scheduler. Source it; the caller's cleanup kills $cupsd_pid.
#
#   start_private_cupsd <dir> [cups-files.conf lines...]
# makes <dir>/{conf/ppd,spool/tmp,cache,state,log,run}, starts cupsd in the foreground of a
# background job (cupsd_pid), exports CUPS_SERVER and returns once the scheduler answers;
# non-zero when it does not. Logs: <dir>/log/{error_log,access_log,page_log}.
start_private_cupsd() {
  local root=$1 line
  shift
  mkdir -p "$root"/{conf/ppd,spool/tmp,cache,state,log,run}
  chmod -R a+rX,go-w "$root"
  cat >"$root/cupsd.conf" <<CONF
Listen $root/run/cups.sock
LogLevel debug
Browsing No
WebInterface No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  {
    echo "ServerRoot $root/conf"
    for line in "$@"; do echo "$line"; done
    cat <<CONF
RequestRoot $root/spool
TempDir $root/spool/tmp
CacheDir $root/cache
StateDir $root/state
AccessLog $root/log/access_log
ErrorLog $root/log/error_log
PageLog $root/log/page_log
User lp
Group lp
CONF
  } >"$root/cups-files.conf"
  cupsd -f -c "$root/cupsd.conf" -s "$root/cups-files.conf" &
  cupsd_pid=$!
  export CUPS_SERVER="$root/run/cups.sock"
  for _ in $(seq 100); do
    [ -S "$CUPS_SERVER" ] && lpstat -r >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  lpstat -r >/dev/null 2>&1
}
