#!/bin/sh
# A settings rewrite whose write fails must leave TRNW.conf byte for byte as
# it was, and no new file beside it.  The failure is made on the Linux side,
# which is why ctest runs this script natively and the script runs the test
# program under Wine:
#   full-disk   the case folder is a tmpfs with no room left at all (needs
#               the right to mount; skipped without it);
#   size-limit  the test program and the host it starts run under a limit
#               on the size of any file they write, which cuts the new
#               content part way (a write the disk accepts only in part).
#   usage: settings_rewrite_failed_write.sh full-disk|size-limit EMULATOR TEST_EXE GAMEHOST_EXE
set -u
mode=$1
emulator=$2
test_exe=$3
host_exe=$4
skip=77
# A rewrite of these bytes drops the volume line, so any rewrite shows; the
# new content is 45 bytes.
old='width=900\r\nheight=700\r\nvolume=80\r\n'
size_limit=30

folder=""
mounted=""
reference=$(mktemp)
cleanup() {
  rm -f "$reference"
  if [ -n "$mounted" ]; then
    # A process of the prefix that is still ending may hold a file open a
    # moment longer; a lazy unmount still frees the mount point.
    umount "$mounted" 2>/dev/null || umount -l "$mounted"
    rmdir "$mounted"
  fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() { echo "FAIL: $*"; exit 1; }

case $mode in
  full-disk)
    folder=$(mktemp -d /tmp/gamehost-full-disk.XXXXXX)
    # tmpfs counts whole pages: room for the host, the old settings and a
    # page to spare, which the filler then takes.
    host_bytes=$(stat -c %s "$host_exe")
    size=$(( (host_bytes / 4096 + 3) * 4096 ))
    if ! mount -t tmpfs -o "size=$size" tmpfs "$folder" 2>/dev/null; then
      rmdir "$folder"
      echo "SKIP: cannot mount a tmpfs here (needs root or CAP_SYS_ADMIN)"
      exit $skip
    fi
    mounted=$folder
    ;;
  size-limit)
    command -v prlimit >/dev/null 2>&1 || { echo "SKIP: no prlimit"; exit $skip; }
    # One folder per build under test (GAMEHOST_IMAGE), which may run at once.
    folder="$(dirname "$test_exe")/cases/SettingsRewrite.FailedWrite.size-limit.${GAMEHOST_IMAGE:-mingw}"
    rm -rf "$folder"
    mkdir -p "$folder"
    ;;
  *)
    fail "unknown mode $mode"
    ;;
esac

cp "$host_exe" "$folder/GameHost.exe" || fail "cannot copy the host into $folder"
printf "$old" > "$folder/TRNW.conf" || fail "cannot write the old settings"
printf "$old" > "$reference"

limit=""
if [ "$mode" = full-disk ]; then
  dd if=/dev/zero of="$folder/filler" bs=4096 2>/dev/null
  available=$(df -B1 --output=avail "$folder" | tail -n 1 | tr -d ' ')
  [ "$available" = 0 ] || fail "the tmpfs still has $available bytes free"
else
  # The wine server and the prefix's system processes write the registry
  # and more; they must not start under the limit, so they are started
  # first, as with-wine.sh does (nothing happens when they already run).
  "$emulator" cmd /c exit >/dev/null 2>&1 </dev/null
  # Past the limit a write fails with EFBIG instead of ending the writer:
  # an ignored SIGXFSZ stays ignored in every program started from here.
  trap '' XFSZ
  limit="prlimit --fsize=$size_limit --"
fi

# Wine's drive Z: is the Unix root.
windows_folder="Z:$(printf '%s' "$folder" | tr / '\\')\\"
# Read through a pipe, not a file: under the limit a file would be cut.
output=$(GAMEHOST_PREPARED_FOLDER=$windows_folder $limit "$emulator" "$test_exe" \
  --gtest_filter=SettingsRewrite.HostInPreparedFolder 2>&1)
status=$?
printf '%s\n' "$output"
[ $status -eq 0 ] || fail "the host run in $folder failed (exit code $status)"
case $output in
  *"[  PASSED  ] 1 test"*) ;;
  *) fail "the host run did not run" ;;
esac

if ! cmp -s "$reference" "$folder/TRNW.conf"; then
  echo "TRNW.conf after the start:"
  od -c "$folder/TRNW.conf"
  fail "TRNW.conf is not the old bytes ($mode)"
fi
left=$(find "$folder" -maxdepth 1 -name 'TRNW.conf.*')
[ -z "$left" ] || fail "new settings files are left in $folder: $left"
echo "PASS: TRNW.conf kept its old bytes and no new file is left ($mode)"
