#!/bin/bash
# End-to-end check of the driver through the real CUPS tools, as root:
#   cupsfilter  a PDF made with ghostscript goes through the distribution's PDF-to-raster
#               filters and rastertoqevcp with two of our PPDs; tspl2png must show the
#               drawn box at the right size and place on the label;
#   cupsd       a private scheduler on a Unix socket, with its own configuration, spool,
#               logs and model directory, a queue made from our PPD by lpinfo/lpadmin -m
#               and a file: device; lp -n 2 with a darkness and a cut mode. Then the job
#               status and page accounting (PAGE lines: page_log, job-impressions-completed;
#               a CMYK raster ends aborted with its ERROR line), collated copies in
#               page order, and the trace appended by a filter run as root and by the
#               one cupsd runs as lp.
# Usage: e2e_cups.sh cupsfilter|cupsd <rastertoqevcp> <tspl2png> <generated PPD dir>
# Exit 77 (skipped) when not root or when the CUPS tools are missing.
set -u
mode=$1
filter=$(realpath "$2") tspl2png=$(realpath "$3") ppddir=$(realpath "$4")
export PATH="$PATH:/usr/sbin:/sbin"
start_time=$(date +%s.%N)

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; [ -n "${log:-}" ] && [ -f "$log" ] && tail -n 40 "$log"; exit 1; }

[ "$(id -u)" = 0 ] || skip "needs root (a private cupsd and root-owned filter directories)"
for tool in cupsd cupsfilter lpadmin lpinfo lp lpstat gs cups-config; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
stock=$(cups-config --serverbin)
[ -x "$stock/filter/gstoraster" ] || [ -x "$stock/filter/pdftoraster" ] ||
  skip "no PDF-to-raster filter in $stock/filter (cups-filters)"

work=$(mktemp -d /tmp/qev-e2e.XXXXXX) || fail "mktemp"
chmod 755 "$work"
cupsd_pid=
cleanup() {
  if [ -n "$cupsd_pid" ]; then
    kill "$cupsd_pid" 2>/dev/null
    wait "$cupsd_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP

# A ServerBin of our own: links to the stock programs, a root-owned copy of our filter
# (cupsd and cupsfilter skip a filter that group or others could replace).
mkdir -p "$work/serverbin/filter"
for entry in "$stock"/*; do
  [ "$(basename "$entry")" = filter ] || ln -s "$entry" "$work/serverbin/"
done
for f in "$stock"/filter/*; do ln -s "$f" "$work/serverbin/filter/"; done
rm -f "$work/serverbin/filter/rastertoqevcp"
install -o root -g root -m 0755 "$filter" "$work/serverbin/filter/rastertoqevcp"
chmod 755 "$work/serverbin" "$work/serverbin/filter"

# A page of 50 x 30 mm with a black box from 10 to 30 mm across and 10 to 20 mm down.
gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -dDEVICEWIDTHPOINTS=141.73 \
  -dDEVICEHEIGHTPOINTS=85.04 -dFIXEDMEDIA -sOutputFile="$work/box.pdf" \
  -c "0 setgray 28.35 28.35 56.69 28.35 rectfill showpage" || fail "ghostscript could not make the PDF"

# Dots of a length in millimetres at a resolution, as the filter rounds them.
dots() { echo $(( ($1 * 1000 * $2 + 12700) / 25400 )); }

# check_label <tspl2png report> <dpi>: one 50 x 30 mm label whose printed dots fill the box.
check_label() {
  local report=$1 dpi=$2 line w h count l t r b
  line=$(grep -m1 '\.png: ' "$report") || fail "tspl2png wrote no label: $(cat "$report")"
  read -r w h count l t r b < <(echo "$line" |
    sed -E 's/.*: ([0-9]+) x ([0-9]+) dots.* ([0-9]+) dots printed in ([0-9-]+),([0-9-]+)-([0-9-]+),([0-9-]+)$/\1 \2 \3 \4 \5 \6 \7/')
  # Ghostscript rounds the page to whole dots and the filter may pad the width: 1 dot.
  local ew=$(dots 50 "$dpi") eh=$(dots 30 "$dpi")
  [ $(( w - ew )) -ge -1 ] && [ $(( w - ew )) -le 1 ] && [ $(( h - eh )) -ge -1 ] &&
    [ $(( h - eh )) -le 1 ] || fail "label is $w x $h dots, expected 50 x 30 mm at $dpi dpi: $line"
  local el=$(dots 10 "$dpi") et=$(dots 10 "$dpi") er=$(( $(dots 30 "$dpi") - 1 )) eb=$(( $(dots 20 "$dpi") - 1 ))
  local tol=2 v e
  for pair in "$l:$el" "$t:$et" "$r:$er" "$b:$eb"; do
    v=${pair%%:*} e=${pair##*:}
    [ $(( v > e ? v - e : e - v )) -le $tol ] ||
      fail "printed box $l,$t-$r,$b, expected about $el,$et-$er,$eb at $dpi dpi: $line"
  done
  # The box is solid: its area, give or take the edge rows and columns.
  local area=$(( (r - l + 1) * (b - t + 1) ))
  [ "$count" -ge $(( area * 99 / 100 )) ] || fail "only $count of $area dots printed: $line"
}

# check_tspl <file>: the stream a TSPL printer expects.
check_tspl() {
  local out=$1
  [ -s "$out" ] || fail "no output"
  [ "$(head -c 5 "$out" | od -An -c | tr -d ' ')" = 'CLS\r\n' ] || fail "output does not start with CLS"
  for cmd in "SIZE " "BITMAP " "PRINT 1,"; do
    grep -aq "^$cmd" "$out" || fail "no $cmd command in the output"
  done
}

case "$mode" in
cupsfilter)
  printf 'ServerBin %s\n' "$work/serverbin" >"$work/cups-files.conf"
  for entry in "qevcp-tspl-2in-203dpi.ppd:203" "qevcp-tspl-4in-300dpi.ppd:300"; do
    ppd=${entry%%:*} dpi=${entry##*:}
    out="$work/${ppd%.ppd}.tspl" log="$work/${ppd%.ppd}.log"
    cupsfilter -c "$work/cups-files.conf" -p "$ppddir/$ppd" -e -m printer/qev \
      -o PageSize=50x30mm "$work/box.pdf" >"$out" 2>"$log" || fail "cupsfilter failed for $ppd"
    check_tspl "$out"
    (cd "$work" && "$tspl2png" --strict -r "$dpi" -o "$work/${ppd%.ppd}" "$out") >"$work/report" 2>&1 ||
      fail "tspl2png refused the output of $ppd: $(cat "$work/report")"
    check_label "$work/report" "$dpi"
    echo "$ppd: $(grep '\.png: ' "$work/report")"
  done
  ;;
cupsd)
  mkdir -p "$work"/{out,data/model/qevcp}
  for entry in /usr/share/cups/*; do
    [ "$(basename "$entry")" = model ] || ln -s "$entry" "$work/data/"
  done
  cp "$ppddir"/*.ppd "$work/data/model/qevcp/"
  chmod -R a+rX,go-w "$work"
  chown lp "$work/out"
  log="$work/log/error_log"
  source "$(dirname "$0")/../support/private_cupsd.sh"
  start_private_cupsd "$work" "ServerBin $work/serverbin" "DataDir $work/data" "FileDevice Yes" ||
    fail "the private cupsd did not start"

  # The trace must take records from a filter run as root first and from cupsd's (user lp)
  # after it: an existing trace of another owner is opened without O_CREAT, a new one is
  # created 0666 whatever the umask.
  trace=/tmp/qztspl.log
  if [ -f "$trace" ] && [ ! -L "$trace" ]; then chown root:root "$trace" && chmod 0666 "$trace"; fi
  gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=cups -dcupsColorSpace=1 -dcupsBitsPerColor=8 -r203 \
    -sOutputFile="$work/rgb.ras" "$work/box.pdf" || fail "ghostscript could not make a raster"
  (umask 077 && PPD="$ppddir/qevcp-tspl-2in-203dpi.ppd" exec "$filter" 1 root e2e 1 "" \
    "$work/rgb.ras" >"$work/root.tspl" 2>"$work/root.err") &
  root_pid=$!
  wait "$root_pid" || fail "the filter run as root failed: $(cat "$work/root.err")"
  records_of() { grep -ac "\[0*$1\] LOG_" "$trace"; }
  [ "$(records_of "$root_pid")" -gt 10 ] || fail "no trace records from the filter run as root"
  [ "$(stat -c %a "$trace")" = 666 ] || fail "the trace is not readable and appendable by all"

  model=$(lpinfo -m 2>/dev/null | awk '$1 ~ /qevcp-tspl-2in-203dpi\.ppd$/ {print $1; exit}')
  [ -n "$model" ] || fail "lpinfo -m does not list our PPDs: $(lpinfo -m 2>&1 | head)"
  # abort-job: a failed job must not stop the queue for the jobs after it.
  lpadmin -p qev -E -v "file://$work/out/printer.out" -m "$model" \
    -o printer-error-policy=abort-job || fail "lpadmin failed"
  lp -d qev -n 2 -o Density=12 -o Mode=Cut -o CutMethod=EveryLabel -o PageSize=50x30mm \
    "$work/box.pdf" >"$work/lp.txt" || fail "lp failed"
  # wait_job <id>: until cupsd has ended the job one way or another.
  wait_job() {
    for _ in $(seq 600); do
      grep -q "\[Job $1\] \(Job completed\|.*[Ss]topped\|.*[Aa]borted\)" "$log" && return
      sleep 0.1
    done
  }
  wait_job 1
  grep -q "\[Job 1\] Job completed" "$log" || fail "the job did not complete"
  out="$work/job1.tspl"
  cp "$work/out/printer.out" "$out"
  check_tspl "$out"
  for line in "DENSITY 12" "SET TEAR OFF" "SET PEEL OFF" "SET CUTTER 1" "PRINT 1,2"; do
    grep -aq "^$line"$'\r'"\$" "$out" || fail "the job's TSPL lacks \"$line\""
  done
  (cd "$work" && "$tspl2png" --strict -r 203 -o "$work/job1" "$out") >"$work/report" 2>&1 ||
    fail "tspl2png refused the job's output: $(cat "$work/report")"
  grep -q "^2 label(s) printed" "$work/report" || fail "expected 2 labels: $(cat "$work/report")"
  check_label "$work/report" 203
  echo "job 1: $(grep '\.png: ' "$work/report" | head -1)"
  lp_pid=$(sed -n 's/.*\[Job 1\] Started filter .*rastertoqevcp (PID \([0-9]*\)).*/\1/p' "$log")
  [ -n "$lp_pid" ] || fail "no filter start of job 1 in the error log"
  [ "$(records_of "$lp_pid")" -gt 10 ] || fail "the filter run by cupsd as lp wrote no trace"
  echo "trace: $(records_of "$root_pid") records as root, then $(records_of "$lp_pid") as lp"

  # Page accounting: 3 pages, 2 copies each: a PAGE line per page, 6 impressions. CUPS 2.4
  # writes one page_log line per job with the total counted from those PAGE lines.
  gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -dDEVICEWIDTHPOINTS=141.73 \
    -dDEVICEHEIGHTPOINTS=85.04 -dFIXEDMEDIA -sOutputFile="$work/three.pdf" \
    -c "0 setgray 3 { 28.35 28.35 56.69 28.35 rectfill showpage } repeat" ||
    fail "ghostscript could not make the 3-page PDF"
  lp -d qev -n 2 -o PageSize=50x30mm "$work/three.pdf" >/dev/null || fail "lp failed (job 2)"
  wait_job 2
  grep -q "\[Job 2\] Job completed" "$log" || fail "job 2 did not complete"
  pages=$(grep -c "\[Job 2\] PAGE: [1-3] 2\$" "$log")
  [ "$pages" = 3 ] || fail "job 2 wrote $pages PAGE lines, expected 3"
  grep -q "^qev root 2 .* total 6 " "$work/log/page_log" ||
    fail "page_log lacks 'total 6' for job 2: $(cat "$work/log/page_log")"
  sock=$(printf %s "$CUPS_SERVER" | sed 's|/|%2F|g')
  impressions=$(ipptool -tv "ipp://$sock/jobs/2" get-job-attributes.test 2>/dev/null |
    sed -n 's/.*job-impressions-completed (integer) = \([0-9]*\).*/\1/p')
  [ "$impressions" = 6 ] || fail "job-impressions-completed is '$impressions', expected 6"
  echo "job 2: 3 pages x 2 copies: $pages PAGE lines, page_log total 6, $impressions impressions"

  # A CMYK raster is refused page by page; the job printed nothing and must not end completed.
  gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=cups -dcupsColorSpace=6 -dcupsBitsPerColor=8 -r203 \
    -sOutputFile="$work/cmyk.ras" "$work/box.pdf" || fail "ghostscript could not make CMYK"
  lp -d qev "$work/cmyk.ras" >/dev/null || fail "lp failed (job 3)"
  wait_job 3
  grep -q "\[Job 3\] Job completed" "$log" && fail "the CMYK job ended as completed"
  grep -q "^E .*\[Job 3\] Page 1 skipped: " "$log" || fail "no ERROR line of job 3 in the log"
  echo "job 3: $(grep -m1 "^E .*\[Job 3\] Page 1 skipped" "$log" | sed 's/.*\] Page/Page/')"

  # Collated copies: 3 pages told apart by the width of their box (10, 20 and 30 mm, so
  # SavePaper crops them to bitmaps of different byte widths). Every label printed, in job
  # order, is the byte width of its BITMAP repeated by its PRINT count: it must read a b c a b c.
  gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -dDEVICEWIDTHPOINTS=141.73 \
    -dDEVICEHEIGHTPOINTS=85.04 -dFIXEDMEDIA -sOutputFile="$work/steps.pdf" \
    -c "0 setgray 1 1 3 { 28.35 28.35 3 -1 roll 28.35 mul 28.35 rectfill showpage } for" ||
    fail "ghostscript could not make the 3-page PDF of boxes"
  lp -d qev -n 2 -o collate=true -o SavePaper=On -o PageSize=50x30mm "$work/steps.pdf" \
    >/dev/null || fail "lp failed (job 4)"
  wait_job 4
  grep -q "\[Job 4\] Job completed" "$log" || fail "job 4 did not complete"
  labels=$(grep -ao "BITMAP [0-9]*,[0-9]*,[0-9]*,\|PRINT 1,[0-9]*" "$work/out/printer.out" |
    awk -F, '/^BITMAP/ { width = $3 } /^PRINT/ { for (i = 0; i < $2; ++i) printf "%s ", width }')
  set -- $labels
  [ $# = 6 ] && [ "$1 $2 $3" = "$4 $5 $6" ] && [ "$1" != "$2" ] && [ "$2" != "$3" ] &&
    [ "$1" != "$3" ] || fail "job 4 printed labels of byte widths '$labels', expected a b c a b c"
  echo "job 4: 3 pages, 2 collated copies: labels of byte widths $labels;" \
    "$(grep -c "\[Job 4\] PAGE: [0-9]* 1\$" "$log") PAGE lines of one label"
  ;;
*)
  echo "usage: $0 cupsfilter|cupsd filter tspl2png ppddir"
  exit 2
  ;;
esac
echo "e2e $mode passed in $(awk "BEGIN { printf \"%.1f\", $(date +%s.%N) - $start_time }") s"
