#!/bin/bash
# The printer application through real clients on loopback: the app runs on a free port
# with a state and spool directory of its own and a file: device, and is stopped on every
# exit. Checks: CUPS's ipp-everywhere.test (less the failures PAPPL 1.3 has by itself), a
# label job by ipptool (PWG raster and PDF) whose TSPL is byte for byte the filter's own
# output for the same raster and settings, bad input, a cancel while the filter runs, the
# web page's test label (its barcode read back from a preview), and (as root) a job
# through a private cupsd queue made with -m everywhere.
# Usage: app_loopback.sh <qevcp-printer-app> <rastertoqevcp> <generated PPD dir> [tspl2png]
# Exit 77 (skipped) when ipptool or ghostscript is missing.
set -u
app=$(realpath "$1") filter=$(realpath "$2") ppddir=$(realpath "$3")
tspl2png=${4:+$(realpath "$4")}
here=$(cd "$(dirname "$0")" && pwd)
export PATH="$PATH:/usr/sbin:/sbin"
# In sanitizer builds: what PAPPL itself leaks is not the application's.
export LSAN_OPTIONS="suppressions=$here/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; [ -f "$work/app.log" ] && grep -E '^[EW] |rastertoqevcp' "$work/app.log" | tail -n 30; exit 1; }
for tool in ipptool gs python3; do command -v "$tool" >/dev/null || skip "$tool is not installed"; done
[ -f /usr/share/cups/ipptool/ipp-everywhere.test ] || skip "no ipp-everywhere.test (cups-ipp-utils)"

work=$(mktemp -d /tmp/qev-app.XXXXXX) || fail "mktemp"
chmod 755 "$work"
app_pid= cupsd_pid=
cleanup() {
  [ -n "$cupsd_pid" ] && kill "$cupsd_pid" 2>/dev/null && wait "$cupsd_pid" 2>/dev/null
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work"/{state,spool,out}
# The app runs the filter through this wrapper, which stands in for a filter stuck on a
# huge job when the job is named "hung-filter" (argv[3] is the job's title).
cat >"$work/filter" <<SH
#!/bin/bash
[ "\$3" = hung-filter ] && exec -a qev-hung-filter-$$ sleep 300
exec "$filter" "\$@"
SH
chmod 755 "$work/filter"
# SNAP_COMMON puts the state file in our directory instead of /var/lib or ~/.config.
SNAP_COMMON="$work/state" QEVCP_FILTER="$work/filter" QEVCP_PPD_DIR="$ppddir" "$app" server \
  -o listen-hostname=127.0.0.1 -o server-port="$port" -o spool-directory="$work/spool" \
  -o log-file="$work/app.log" -o log-level=debug >"$work/server.out" 2>&1 &
app_pid=$!
system="ipp://127.0.0.1:$port/ipp/system" uri="ipp://127.0.0.1:$port/ipp/print/label"
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  kill -0 "$app_pid" 2>/dev/null || fail "the app did not start: $(cat "$work/server.out")"
  sleep 0.1
done
"$app" add -u "$system" -d label -m tspl-2in-203dpi -v "file://$work/out" ||
  fail "could not add the printer"

# A 50 x 30 mm page at 203 dpi: a black box and a gray one, as PWG raster (sgray_8) and PDF.
draw="0 setgray 28.35 28.35 56.69 28.35 rectfill 0.5 setgray 90 10 40 60 rectfill showpage"
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pwgraster -r203 -dcupsColorSpace=18 -dcupsBitsPerColor=8 \
  -dDEVICEWIDTHPOINTS=141.73 -dDEVICEHEIGHTPOINTS=85.04 -dFIXEDMEDIA \
  -sOutputFile="$work/box.pwg" -c "$draw" >/dev/null || fail "ghostscript could not make the raster"
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -dDEVICEWIDTHPOINTS=141.73 \
  -dDEVICEHEIGHTPOINTS=85.04 -dFIXEDMEDIA -sOutputFile="$work/box.pdf" -c "$draw" >/dev/null ||
  fail "ghostscript could not make the PDF"
# The same page claiming the sRGB colour space with 8 bits per pixel: PAPPL passes it on,
# the filter refuses the page.
python3 - "$work/box.pwg" "$work/bad.pwg" <<'PY'
import struct, sys
d = bytearray(open(sys.argv[1], 'rb').read())
d[4 + 400:4 + 404] = struct.pack('>I', 19)   # cupsColorSpace of the first page header
open(sys.argv[2], 'wb').write(d)
PY

# filter_direct <out> <options>: the filter itself on box.pwg with the 2-inch 203 dpi PPD.
filter_direct() {
  PPD="$ppddir/qevcp-tspl-2in-203dpi.ppd" "$filter" 1 test label 1 "$2" "$work/box.pwg" \
    >"$1" 2>/dev/null || fail "the filter failed on box.pwg"
}

sleep 1  # printer-up-time must be above 0
for doc in box.pwg box.pdf; do
echo "== ipp-everywhere.test with $doc"
(cd /usr/share/cups/ipptool && ipptool -t -f "$work/$doc" "$uri" ipp-everywhere.test) \
  >"$work/everywhere.txt" 2>&1
grep -E '^\s+[^ ].*\[(PASS|FAIL|SKIP)\]|^Summary' "$work/everywhere.txt" | grep -c PASS |
  sed 's/^/passed: /'
# PAPPL 1.3's own gaps: it lists uri-security-supported "none,tls" beside a single ipp:
# printer-uri-supported on a loopback listener, implements no "overrides", and reports no
# supplies for a printer that cannot tell its media or ribbon level.
known='overrides-supported|printer-supply|printer-supply-description|(printer-uri|uri-security)-supported .*SAME-COUNT-AS uri-(security|authentication)-supported'
unexpected=$(grep 'EXPECTED:' "$work/everywhere.txt" | grep -Ev "EXPECTED: ($known)( |\$)")
[ -z "$unexpected" ] || { cat "$work/everywhere.txt"; fail "ipp-everywhere.test: $unexpected"; }
grep -c 'EXPECTED:' "$work/everywhere.txt" | sed 's/^/known PAPPL failures: /'
done
# The conformance test does not wait for its last job; a raster job finding the printer
# busy would be refused.
for _ in $(seq 300); do
  ipptool -tv "$uri" get-printer-attributes.test 2>/dev/null | grep -q 'printer-state (enum) = idle' &&
    break
  sleep 0.1
done

echo "== a label job by ipptool"
ipptool -t -d job_name=ipp-label -f "$work/box.pwg" "$uri" "$here/label-job.test" >"$work/job.txt" 2>&1 ||
  { cat "$work/job.txt"; fail "the label job did not complete"; }
# What the job's attributes mean, written out by hand: media-tracking mark -> BlackMark;
# darkness 50 (configured) + 30 = 80 % of 15 -> 12; 5080 hundredths of mm/s = 2 in/s;
# gap 250 hundredths of mm = 2.5 mm. Everything else is the PPD's default.
filter_direct "$work/direct.tspl" "MediaType=BlackMark Density=12 PrintSpeed=2 GAPHeight=2.5 Halftone=Stucki Brightness=120 Mirror=Mirrored"
cmp "$work/direct.tspl" "$work/out/ipp-label.prn" || fail "the app's TSPL differs from the filter's"
grep -aq "^DENSITY 12"$'\r' "$work/direct.tspl" || fail "the expected TSPL lacks DENSITY 12"

echo "== a PDF job by ipptool"
# The app renders the PDF at PAPPL's raster size for 50 x 30 mm at 203 dpi, 399 x 239
# (sizes truncated); the same rendering as PWG raster through the filter must match.
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pwgraster -r203 -g399x239 -dFIXEDMEDIA -dPDFFitPage \
  -dcupsColorSpace=18 -dcupsBitsPerColor=8 -sOutputFile="$work/box-pdf.pwg" "$work/box.pdf" \
  >/dev/null || fail "ghostscript could not render the PDF as raster"
ipptool -t -d job_name=ipp-pdf -d format=application/pdf -f "$work/box.pdf" "$uri" \
  "$here/label-job.test" >"$work/pdf.txt" 2>&1 || { cat "$work/pdf.txt"; fail "the PDF job did not complete"; }
# label-job.test asks for the settings of the raster job above.
PPD="$ppddir/qevcp-tspl-2in-203dpi.ppd" "$filter" 1 test label 1 \
  "MediaType=BlackMark Density=12 PrintSpeed=2 GAPHeight=2.5 Halftone=Stucki Brightness=120 Mirror=Mirrored" \
  "$work/box-pdf.pwg" >"$work/direct-pdf.tspl" 2>/dev/null || fail "the filter failed on the rendered PDF"
cmp "$work/direct-pdf.tspl" "$work/out/ipp-pdf.prn" || fail "the PDF job's TSPL differs from the filter's"

echo "== cancel while the filter runs"
ipptool -tv -d job_name=hung-filter -f "$work/box.pwg" "$uri" "$here/label-job.test" \
  >"$work/hung.txt" 2>&1 &
hung_ipptool=$!
hung() { ps -eo args= | grep -c "^qev-hung-filter-$$" ; }
for _ in $(seq 300); do [ "$(hung)" != 0 ] && break; sleep 0.1; done
[ "$(hung)" != 0 ] || fail "the filter of the job to cancel did not start"
job_id=$(ipptool -tv "$uri" get-jobs.test 2>/dev/null | sed -n 's/^ *job-id (integer) = //p' | tail -n 1)
ipptool -t -d job_id="$job_id" "$uri" "$here/cancel-job.test" >"$work/cancel.txt" 2>&1 ||
  { cat "$work/cancel.txt"; fail "the job was not canceled"; }
wait "$hung_ipptool"  # its wait for the job ends, with job-state 7 instead of 9
[ "$(hung)" = 0 ] || fail "a filter process outlived its canceled job"
[ ! -s "$work/out/hung-filter.prn" ] || fail "the canceled job wrote to the device"

echo "== bad input"
ipptool -t -f "$work/bad.pwg" "$uri" "$here/bad-jobs.test" >"$work/bad.txt" 2>&1 ||
  { cat "$work/bad.txt"; fail "bad input was not handled as expected"; }
[ ! -e "$work/out/bad-raster.prn" ] || [ ! -s "$work/out/bad-raster.prn" ] ||
  fail "the aborted job wrote to the device"
[ ! -s "$work/out/text-job.prn" ] || fail "the text/plain job printed"

echo "== the web page's test label"
if command -v curl >/dev/null && command -v zbarimg >/dev/null && [ -n "$tspl2png" ]; then
  web="http://127.0.0.1:$port/label"
  session=$(curl -s "$web" | sed -n 's/.*name="session" value="\([0-9a-f]*\)".*/\1/p' | head -n 1)
  curl -s -d "session=$session&action=print-test-page" "$web/" | grep -q 'Test page printed' ||
    fail "the web page did not print the test label"
  for _ in $(seq 300); do
    [ -s "$work/out/Test Page.prn" ] && break
    sleep 0.1
  done
  (cd "$work" && "$tspl2png" -o preview "out/Test Page.prn" >/dev/null) || fail "no test label TSPL"
  # The barcode carries the label's size in mm, 50 x 30 for this printer's default media.
  zbarimg -q "$work/preview-001.png" 2>/dev/null | grep -qx 'I2/5:00500030' ||
    fail "the test label's barcode does not read back as 00500030"
else
  echo "skipped: needs curl, zbarimg and tspl2png"
fi

# stop_app: the app ends on SIGTERM; in a sanitizer build its report must be clean.
stop_app() {
  kill "$app_pid" && wait "$app_pid"
  app_pid=
  ! grep -A 20 -E '^==[0-9]+==ERROR|runtime error:' "$work/server.out" ||
    fail "the app's sanitizer report is not clean"
}

echo "== a private cupsd queue made with -m everywhere"
if [ "$(id -u)" != 0 ] || ! command -v cupsd >/dev/null; then
  echo "skipped: needs root and cupsd"
  stop_app
  exit 0
fi
source "$here/../support/private_cupsd.sh"
start_private_cupsd "$work/cups" || fail "the private cupsd did not start"
lpadmin -p label -E -v "$uri" -m everywhere 2>"$work/lpadmin.txt" ||
  fail "lpadmin -m everywhere failed: $(cat "$work/lpadmin.txt")"

# wait_cups_job <n> <file on the device>: job n completes and its TSPL reaches the device.
wait_cups_job() {
  for _ in $(seq 300); do
    grep -q "\[Job $1\] Job completed" "$work/cups/log/error_log" && [ -s "$2" ] && return 0
    sleep 0.1
  done
  tail -n 20 "$work/cups/log/error_log"
  fail "CUPS job $1 did not complete"
}
# The app takes PDF, so CUPS's everywhere queue turns every document into PDF first (a
# raster too, by rastertopdf) and the app renders it as it renders an IPP PDF job.
lp -d label -t cups-pdf -o media=om_50x30mm_50x30mm "$work/box.pdf" >/dev/null || fail "lp failed"
wait_cups_job 1 "$work/out/cups-pdf.prn"
# A job that asks for nothing gets print-content-optimize=auto, which picks the Auto halftone.
PPD="$ppddir/qevcp-tspl-2in-203dpi.ppd" "$filter" 1 test label 1 "Halftone=Auto" "$work/box-pdf.pwg" \
  >"$work/direct-pdf2.tspl" 2>/dev/null || fail "the filter failed on the rendered PDF"
cmp "$work/direct-pdf2.tspl" "$work/out/cups-pdf.prn" ||
  fail "the TSPL through cupsd differs from the filter's for the same rendering of the PDF"
lp -d label -t cups-raster -o media=om_50x30mm_50x30mm \
  -o document-format=image/pwg-raster "$work/box.pwg" >/dev/null || fail "lp failed"
wait_cups_job 2 "$work/out/cups-raster.prn"
# CUPS may pass the page with a copy count of 0 in its header; the app prints it once.
grep -aq "^PRINT 1,1"$'\r' "$work/out/cups-raster.prn" || fail "the raster job printed no label"
stop_app
echo "app loopback tests passed"
