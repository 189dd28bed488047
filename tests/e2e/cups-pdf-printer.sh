#!/usr/bin/env bash
# Sets up a CUPS print queue that writes PDF files, for the end-to-end print test:
#
#   tests/e2e/cups-pdf-printer.sh OUTPUT_FOLDER [QUEUE]
#
# Starts the CUPS scheduler when none answers, adds the queue QUEUE (default hakomiru-test-pdf)
# on the CUPS-PDF backend with its own settings file, so that its PDF files land in
# OUTPUT_FOLDER and nothing else on the machine changes, and makes it the default printer.
# Prints the queue name on success. Exits with 77 (the test is skipped) when the scheduler
# cannot be started or the queue cannot be added here (no root, no CUPS-PDF); any other failure
# exits with 1.
set -euo pipefail

out="${1:?usage: cups-pdf-printer.sh OUTPUT_FOLDER [QUEUE]}"
queue="${2:-hakomiru-test-pdf}"

skip() {
    echo "cups-pdf-printer: $*" >&2
    exit 77
}

for tool in cupsd lpadmin lpstat; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps.sh test installs it)"
done
backend=/usr/lib/cups/backend/cups-pdf
[ -e "$backend" ] || skip "the CUPS-PDF backend is missing (package printer-driver-cups-pdf)"
ppd=""
for candidate in /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd /usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd; do
    if [ -r "$candidate" ]; then
        ppd="$candidate"
        break
    fi
done
[ -n "$ppd" ] || skip "the CUPS-PDF printer description is missing"

scheduler_answers() {
    lpstat -r 2>/dev/null | grep -q 'scheduler is running'
}

if ! scheduler_answers; then
    [ "$(id -u)" -eq 0 ] || skip "no CUPS scheduler runs, and starting one needs root"
    mkdir -p /run/cups /var/spool/cups/tmp /var/cache/cups /var/log/cups
    # cupsd puts itself in the background once it listens.
    cupsd || skip "cupsd would not start"
    for _ in $(seq 1 50); do
        scheduler_answers && break
        sleep 0.2
    done
    scheduler_answers || skip "cupsd started but does not answer"
fi

[ "$(id -u)" -eq 0 ] || skip "adding the test queue needs root"

mkdir -p "$out"
# The backend writes as the user who printed; the folder takes files from anyone.
chmod 1777 "$out"
# CUPS-PDF reads cups-pdf-NAME.conf for a queue whose device is cups-pdf:/NAME.
cat >"/etc/cups/cups-pdf-$queue.conf" <<EOF
# Written by the end-to-end print test of hakomiru.
Out $out
AnonDirName $out
Label 0
EOF

lpadmin -p "$queue" -E -v "cups-pdf:/$queue" -P "$ppd" 2> >(grep -v 'deprecated' >&2) ||
    skip "lpadmin could not add the queue $queue"
lpadmin -d "$queue"
for _ in $(seq 1 25); do
    lpstat -d 2>/dev/null | grep -q ": $queue\$" && break
    sleep 0.2
done
lpstat -d | grep -q ": $queue\$" || { echo "cups-pdf-printer: $queue is not the default" >&2; exit 1; }
echo "$queue"
