#!/usr/bin/env bash
# Boots a Linux kernel in QEMU with two emulated SATA disks whose serial, model and firmware
# are chosen here, runs `corvane identify --json` in the guest and checks what it read
# through ATA pass-through, QEMU's SMART attribute table included.
set -uo pipefail
source "$(dirname "$0")/../tools/say_failures.sh"
corvane=$(readlink -f "$1")
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; [ -f "${work:-}/console.log" ] && tail -40 "$work/console.log"; exit 1; }

for tool in qemu-system-x86_64 busybox cpio gzip jq apt-get apt-cache dpkg-deb; do
  command -v $tool >/dev/null || skip "$tool is not installed (scripts/test-tools installs it)"
done

# The guest kernel: the image package that linux-image-amd64 points at, kept beside the build.
cache="$(dirname "$corvane")/guest-kernel"
if ! ls "$cache"/boot/vmlinuz-* >/dev/null 2>&1; then
  package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ {print $2; exit}')
  [ -n "$package" ] || skip "apt knows no linux-image-amd64 (run apt-get update)"
  mkdir -p "$cache/download"
  (cd "$cache/download" && apt-get download -q "$package" >/dev/null 2>&1) ||
    skip "cannot download $package"
  dpkg-deb --fsys-tarfile "$cache"/download/"$package"_*.deb |
    tar -x -C "$cache" --wildcards './boot/vmlinuz-*' './lib/modules/*.ko' ||
    skip "cannot unpack $package"
  rm -rf "$cache/download"
fi
kernel=$(ls "$cache"/boot/vmlinuz-* | head -1)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
mkdir -p "$root"/{bin,dev,proc,sys,modules}
cp "$(command -v busybox)" "$root/bin/busybox"
for applet in sh mount insmod sleep poweroff cat ls base64 tr; do ln -s busybox "$root/bin/$applet"; done
modules="scsi_common scsi_mod libata libahci ahci ata_piix crc64 crc64-rocksoft crct10dif_common
  crc-t10dif t10-pi sd_mod cdrom sr_mod sg"
for m in $modules; do
  found=$(find "$cache/lib/modules" -name "$m.ko" | head -1)
  [ -n "$found" ] || skip "the guest kernel has no module $m"
  cp "$found" "$root/modules/"
done
# The program and the libraries it loads (the test build is sanitized, so dynamic).
cp "$corvane" "$root/corvane"
for lib in $(ldd "$corvane" | grep -o '/[^ ]*'); do
  mkdir -p "$root$(dirname "$lib")"
  cp -L "$lib" "$root$lib"
done
cat >"$root/init" <<GUEST
#!/bin/sh
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
exec </dev/console >/dev/console 2>&1
for m in $(echo $modules); do insmod /modules/\$m.ko; done
for i in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
  [ -e /sys/block/sda ] && [ -e /sys/block/sdb ] && break
  sleep 1
done
export ASAN_OPTIONS=detect_leaks=0
echo "corvane-sda-model: \$(cat /sys/block/sda/device/model)"
for n in 0 1 2; do
  out=\$(/corvane identify --json --drive \$n); status=\$?
  echo "corvane-drive-\$n: \$(echo "\$out" | tr -d '\n') exit=\$status"
done
/corvane identify --drive 0 --save /capture >/dev/null
echo "corvane-capture: \$(base64 /capture | tr -d '\n')"
poweroff -f
GUEST
chmod +x "$root/init"
if [ "$(id -u)" = 0 ]; then mknod -m 600 "$root/dev/console" c 5 1; fi
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz" ||
  fail "cannot build the initramfs"

truncate -s 64M "$work/disk0.img" "$work/disk1.img"
timeout 180 qemu-system-x86_64 -accel tcg -m 1024 -smp 1 -display none -monitor none \
  -no-reboot -serial "file:$work/console.log" -kernel "$kernel" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 panic=-1 quiet" \
  -drive if=none,id=d0,file="$work/disk0.img",format=raw \
  -drive if=none,id=d1,file="$work/disk1.img",format=raw \
  -device ahci,id=ahci \
  -device ide-hd,drive=d0,bus=ahci.0,serial=CVN-7731-QA,model="Corvane Test Disk",ver=CV1.23 \
  -device ide-hd,drive=d1,bus=ahci.1,serial=SECOND-0002,model="Second Disk",ver=2.0 \
  </dev/null || fail "qemu exited $?"

answer() { grep -a "^corvane-drive-$1: " "$work/console.log" | tail -1 | sed "s/^corvane-drive-$1: //; s/\r$//"; }
drive0=$(answer 0)
drive1=$(answer 1)
[ -n "$drive0" ] && [ -n "$drive1" ] || fail "the guest printed no answer"
[ "${drive0##* exit=}" = 0 ] || fail "drive 0: $drive0"
[ "${drive1##* exit=}" = 0 ] || fail "drive 1: $drive1"
check() { # drive-json jq-filter expected
  local got
  got=$(jq -c "$2" <<<"$1") || fail "not JSON: $1"
  [ "$got" = "$3" ] || fail "$2: got $got, expected $3"
}
# libata probes the two ports at once, so either disk may become sda; drive 0 is sda.
json0=${drive0% exit=*}
json1=${drive1% exit=*}
sda_model=$(grep -a "^corvane-sda-model: " "$work/console.log" | sed 's/^[^:]*: //; s/ *\r*$//')
[ -n "$sda_model" ] || fail "the guest shows no sda"
[[ "$(jq -r .model_padded <<<"$json0")" == "$sda_model"* ]] || fail "drive 0 is not sda ($sda_model)"
if [[ "$json1" == *CVN-7731-QA* ]]; then
  other=$json0
  json0=$json1
else
  other=$json1
fi
check "$json0" '.device_type.value' 1
check "$json0" '.serial_number_padded' '"CVN-7731-QA         "'
check "$json0" '.model' '"Corvane Test Disk"'
check "$json0" '.model_padded | length' 40
check "$json0" '.firmware_padded' '"CV1.23  "'
check "$json0" '[.geometry.cylinders, .geometry.heads, .geometry.sectors_per_track]' '[130,16,63]'
# QEMU's emulated SMART table: id, current, worst, threshold, flags.
check "$json0" '[.attributes[] | [.id, .value, .worst, .threshold, .flags]]' '[[1,100,100,6,3],[3,100,100,0,3],[4,100,100,20,2],[5,100,100,36,3],[9,100,100,0,3],[12,100,100,0,3],[190,69,69,50,3]]'
check "$json0" '[.attributes[] | .name]' \
  '["READ_ERROR_RATE","SPIN_UP_TIME","START_STOP_COUNT","REALLOC_SECTOR_COUNT","POWER_ON_HRS_COUNT","POWER_CYCLE_COUNT","Unknown value (190)"]'

check "$other" '[.serial_number_padded, .model, .firmware_padded]' \
  '["SECOND-0002         ","Second Disk","2.0     "]'
# The capture saved in the guest decodes to drive 0's answer, here and in skdump.
grep -a "^corvane-capture: " "$work/console.log" | sed 's/^[^:]*: //; s/\r$//' | base64 -d \
  >"$work/capture" || fail "no capture from the guest"
"$corvane" identify --json --load "$work/capture" >"$work/loaded.json" || fail "cannot load it"
check "$(cat "$work/loaded.json")" 'del(.drive, .argv)' "$(jq -c 'del(.drive, .argv)' <<<"${drive0% exit=*}")"
if command -v skdump >/dev/null; then
  serial=$(jq -r '.serial_number' <<<"${drive0% exit=*}")
  skdump --load="$work/capture" | grep -q "^Serial: \[$serial\]$" || fail "skdump reads it otherwise"
fi

drive2=$(answer 2)
[ "${drive2##* exit=}" = 1 ] || fail "drive 2 should be absent: $drive2"
check "${drive2% exit=*}" '[.device_type.value, .messages[0].severity]' '[0,"error"]'
echo "PASS"
