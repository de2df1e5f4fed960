#!/usr/bin/env bash
# Runs zvfirm's real drive paths (sysfs drive-letter map, SG_IO pass-through, the ASPI
# manager over /dev/sgN) against a real kernel SCSI stack: Debian's kernel booted under
# QEMU with a busybox initramfs and three kinds of optical drive:
#   - the kernel's scsi_debug target posing as a CD/DVD drive (ptype=5);
#   - two QEMU ide-cd drives, each on an AHCI controller of its own (ATAPI through libata);
#   - two QEMU scsi-cd drives on a virtio-scsi controller.
# Inside the guest tests/qemu/real_kernel_probe.cpp runs and prints PASS/FAIL lines. When
# it asks for it on the console, scripts/qemu-guest-console.py opens and closes a tray or
# unplugs a drive through QEMU's machine protocol (QMP). This script prints the guest's
# output and exits non-zero when the probe reported a failure or the guest never got as far
# as reporting. scripts/test.sh (and so the CI) runs it.
#
# It needs the network once (packages and the kernel package, which is kept in a cache).
#
# Settings (environment):
#   ZVFIRM_QEMU_DIR       work folder (default: build-qemu/ in the source tree)
#   ZVFIRM_QEMU_BUILD_DIR build folder for the probe and the ASPI manager; an existing one
#                         (scripts/test.sh passes its own) is reused (default: <work>/build)
#   ZVFIRM_QEMU_CACHE     where the kernel package is kept (default: $XDG_CACHE_HOME/zvfirm-qemu
#                         when XDG_CACHE_HOME is set, else ~/.cache/zvfirm-qemu when ~/.cache
#                         exists, else <work folder>/cache)
#   ZVFIRM_QEMU_KERNEL    kernel package name (default: what linux-image-amd64 depends on)
#   ZVFIRM_QEMU_TIMEOUT   seconds the guest may run (default: 600)
#   ZVFIRM_QEMU_BENCHMARK 1: measure instead of checking (probe option --benchmark): both
#                         transports against a raw SG_IO loop, and a 2 MiB download against
#                         sg_write_buffer from Debian's sg3-utils, put into the guest
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
work=${ZVFIRM_QEMU_DIR:-$top/build-qemu}
if [ -n "${ZVFIRM_QEMU_CACHE:-}" ]; then
  cache=$ZVFIRM_QEMU_CACHE
elif [ -n "${XDG_CACHE_HOME:-}" ]; then
  cache=$XDG_CACHE_HOME/zvfirm-qemu
elif [ -n "${HOME:-}" ] && [ -d "$HOME/.cache" ]; then
  cache=$HOME/.cache/zvfirm-qemu
else
  cache=$work/cache
fi
guest_timeout=${ZVFIRM_QEMU_TIMEOUT:-600}
started=$SECONDS
mkdir -p "$work" "$cache"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

say() { echo "qemu-check: $*" >&2; }

# --- host packages: the emulator, a static busybox for the guest, cpio for the initramfs,
# python3 for the console and QMP; building needs what scripts/install-deps.sh brings.
"$top/scripts/install-deps.sh"
missing=()
for package in qemu-system-x86 busybox-static cpio python3; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  say "installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# --- the kernel: the package is downloaded and unpacked, never installed.
kernel_package=${ZVFIRM_QEMU_KERNEL:-}
latest_kernel_package() {
  apt-cache depends linux-image-amd64 2>/dev/null |
    sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*-amd64\)$/\1/p' | head -n1
}
if [ -z "$kernel_package" ]; then
  kernel_package=$(latest_kernel_package)
  if [ -z "$kernel_package" ]; then
    # A fresh machine may have no package lists yet.
    $sudo apt-get update -qq
    kernel_package=$(latest_kernel_package)
  fi
fi
[ -n "$kernel_package" ] || { say "cannot tell which kernel package to use; set ZVFIRM_QEMU_KERNEL"; exit 2; }
kernel_root=$cache/$kernel_package
if [ ! -d "$kernel_root/boot" ]; then
  deb=$(ls "$cache/${kernel_package}"_*.deb 2>/dev/null | head -n1 || true)
  if [ -z "$deb" ]; then
    say "downloading $kernel_package"
    # apt's download user may not write into the cache folder; fetch in a folder it can.
    fetch=$(mktemp -d)
    chmod 0777 "$fetch"
    (cd "$fetch" && apt-get download "$kernel_package" >/dev/null)
    mv "$fetch"/*.deb "$cache/"
    rmdir "$fetch"
    deb=$(ls "$cache/${kernel_package}"_*.deb | head -n1)
  fi
  rm -rf "$kernel_root.partial"
  dpkg-deb -x "$deb" "$kernel_root.partial"
  mv "$kernel_root.partial" "$kernel_root"
fi
vmlinuz=$(ls "$kernel_root"/boot/vmlinuz-* | head -n1)
kernel_version=${vmlinuz##*/vmlinuz-}
module_dir=$kernel_root/lib/modules/$kernel_version
say "kernel $kernel_version"

# --- the probe and the ASPI manager: in the caller's build folder when given (only the
# probe's option is added to it), else in a folder of their own.
build=${ZVFIRM_QEMU_BUILD_DIR:-$work/build}
build_log=$work/build.log
configure=(-DZVFIRM_BUILD_QEMU_PROBE=ON)
[ -f "$build/CMakeCache.txt" ] ||
  configure+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZVFIRM_BUILD_TESTS=OFF)
if ! { cmake -S "$top" -B "$build" -G Ninja "${configure[@]}" &&
       cmake --build "$build" --target zvfirm-real-kernel-probe zvaspi32 -- -j"${ZVFIRM_JOBS:-2}"; } \
     >"$build_log" 2>&1; then
  tail -n 40 "$build_log" >&2
  say "building the probe failed (whole log: $build_log)"
  exit 2
fi
probe=$build/ui/zvfirm-real-kernel-probe
aspi_library=$build/ui/libzvaspi32.so
say "ready to boot after $((SECONDS - started)) s"

# --- the initramfs
root=$work/initramfs
rm -rf "$root"
mkdir -p "$root"/{bin,sbin,proc,sys,dev,tmp,modules,probe}
cp /bin/busybox "$root/bin/busybox"
if ldd "$root/bin/busybox" >/dev/null 2>&1; then
  say "/bin/busybox is not statically linked (is busybox-static installed?)"
  exit 2
fi

# The kernel package holds modules but no modules.dep (depmod runs at installation), so
# dependencies are read from each module's own .modinfo "depends=" entry and loaded first.
# crc-t10dif finds its algorithm through the crypto layer at load time ("softdep pre:
# crct10dif", an alias, not a module name), so the generic implementation is named here.
declare -A module_file=()
while IFS= read -r -d '' file; do
  name=${file##*/}
  name=${name%%.ko*}
  module_file[${name//-/_}]=$file
done < <(find "$module_dir/kernel" -name '*.ko*' -print0)

ordered=()
declare -A placed=()
module_depends() {
  case "$1" in
    *.ko.xz) xz -dc "$1" ;;
    *.ko.zst) zstd -dcq "$1" ;;
    *.ko.gz) gzip -dc "$1" ;;
    *) cat "$1" ;;
  esac | tr '\0' '\n' | sed -n 's/^depends=//p' | tr ',' ' '
}
place_module() {
  local name=${1//-/_}
  [ -n "${placed[$name]:-}" ] && return 0
  local file=${module_file[$name]:-}
  [ -n "$file" ] || { say "module $name not found in $kernel_package"; exit 2; }
  placed[$name]=1
  local dependency
  for dependency in $(module_depends "$file"); do place_module "$dependency"; done
  # busybox insmod takes plain modules only.
  case "$file" in
    *.ko.xz) xz -dc "$file" >"$root/modules/$name.ko" ;;
    *.ko.zst) zstd -dcq "$file" >"$root/modules/$name.ko" ;;
    *.ko.gz) gzip -dc "$file" >"$root/modules/$name.ko" ;;
    *) cp "$file" "$root/modules/$name.ko" ;;
  esac
  ordered+=("$name")
}
# sg and sr_mod first, so that they attach to each drive when its host is scanned; then the
# three hosts: scsi_debug, AHCI (libata) and virtio-scsi (on virtio's PCI transport).
for wanted in sg sr_mod crct10dif_generic scsi_debug ahci virtio_pci virtio_scsi; do
  place_module "$wanted"
done
printf '%s\n' "${ordered[@]}" >"$root/modules/order"

# The probe is a dynamic executable (it loads the manager with dlopen): bring the shared
# libraries both need, at the paths the dynamic loader expects.
cp "$probe" "$aspi_library" "$root/probe/"
probe_args=()
if [ "${ZVFIRM_QEMU_BENCHMARK:-0}" = 1 ]; then
  # sg3-utils and its library, unpacked into the guest's root (never installed here).
  sg_packages=(sg3-utils $(apt-cache depends sg3-utils 2>/dev/null |
    sed -n 's/^ *Depends: \(libsgutils[^ ]*\)$/\1/p'))
  for package in "${sg_packages[@]}"; do
    deb=$(ls "$cache/${package}"_*.deb 2>/dev/null | head -n1 || true)
    if [ -z "$deb" ]; then
      fetch=$(mktemp -d)
      chmod 0777 "$fetch"
      (cd "$fetch" && apt-get download "$package" >/dev/null)
      mv "$fetch"/*.deb "$cache/"
      rmdir "$fetch"
      deb=$(ls "$cache/${package}"_*.deb | head -n1)
    fi
    dpkg-deb -x "$deb" "$root"
  done
  probe_args+=(--benchmark /usr/bin/sg_write_buffer)
fi
echo "${probe_args[*]}" >"$root/probe/args"
for library in $(ldd "$probe" "$aspi_library" | grep -v ":$" | grep -o '/[^ ]*\.so[^ ]*' | sort -u); do
  mkdir -p "$root$(dirname "$library")"
  cp -L "$library" "$root$library"
done

cat >"$root/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
echo "guest: kernel $(uname -r)"
for module in $(cat /modules/order); do
  parameters=""
  [ "$module" = scsi_debug ] && parameters="ptype=5"
  insmod "/modules/$module.ko" $parameters || echo "guest: insmod $module failed"
done
# Five optical drives, each with its generic node, within 30 s.
waited=0
while [ "$(ls -d /sys/class/block/sr*/device/scsi_generic/sg* 2>/dev/null | wc -l)" -lt 5 ]; do
  [ $waited -ge 300 ] && break
  sleep 0.1
  waited=$((waited + 1))
done
echo "guest: drives ready after $((waited / 10)) s"
echo "guest: SCSI devices: $(cd /sys/bus/scsi/devices && for d in [0-9]*:*; do echo -n "$d type $(cat $d/type) \"$(cat $d/vendor)\" \"$(cat $d/model)\" \"$(cat $d/rev)\"; "; done)"
for block in /sys/class/block/sr*; do
  echo "guest: ${block##*/} -> $(ls $block/device/scsi_generic 2>&1) at $(readlink $block/device | sed 's,.*/,,')"
done
echo "guest: running the probe"
/probe/zvfirm-real-kernel-probe $(cat /probe/args)
echo "PROBE-EXIT: $?"
poweroff -f
INIT
chmod 0755 "$root/init"
initramfs=$work/initramfs.cpio.gz
(cd "$root" && find . -print0 | cpio --null -o -H newc --quiet) | gzip -1 >"$initramfs"

# --- boot
accel=tcg
if [ -r /dev/kvm ] && [ -w /dev/kvm ]; then
  accel=kvm
  say "using KVM"
else
  say "no KVM: software emulation"
fi
# Every QEMU drive holds a disc: an empty data image, enough for TEST UNIT READY.
disc=$work/disc.iso
truncate -s 2M "$disc"
cdrom() { echo "if=none,id=$1,file=$disc,format=raw,media=cdrom,readonly=on"; }
# The ids and revisions are the ones tests/qemu/guest_drives.cpp expects.
drives=(
  -device ahci,id=ahci0 -drive "$(cdrom atapi0-disc)"
  -device ide-cd,bus=ahci0.0,drive=atapi0-disc,id=atapi0,ver=PT01
  -device ahci,id=ahci1 -drive "$(cdrom atapi1-disc)"
  -device ide-cd,bus=ahci1.0,drive=atapi1-disc,id=atapi1,ver=AS01
  -device virtio-scsi-pci,id=vscsi
  -drive "$(cdrom vcd0-disc)" -device scsi-cd,bus=vscsi.0,scsi-id=0,lun=0,drive=vcd0-disc,id=vcd0,ver=PT01
  -drive "$(cdrom vcd1-disc)" -device scsi-cd,bus=vscsi.0,scsi-id=1,lun=0,drive=vcd1-disc,id=vcd1,ver=AS01
)
log=$work/guest.log
say "booting (time limit ${guest_timeout}s); guest output follows and is kept in $log"
boot_started=$SECONDS
set +e
python3 "$top/scripts/qemu-guest-console.py" --log "$log" --qmp "$work/qmp.sock" \
  --time-limit "$guest_timeout" -- \
  qemu-system-x86_64 -machine pc,accel=$accel -m 512 -smp 1 -nodefaults -display none \
  -serial stdio -no-reboot -qmp "unix:$work/qmp.sock,server=on,wait=off" \
  -kernel "$vmlinuz" -initrd "$initramfs" -append "console=ttyS0 panic=-1 quiet" \
  "${drives[@]}"
qemu_status=$?
set -e
say "guest ran $((SECONDS - boot_started)) s; whole check $((SECONDS - started)) s"

probe_exit=$(sed -n 's/^PROBE-EXIT: \([0-9]*\)$/\1/p' "$log" | tail -n1)
if [ -z "$probe_exit" ]; then
  say "the guest ended without a probe result (exit $qemu_status; 124 is the time limit)"
  exit 2
fi
passes=$(grep -c '^PASS: ' "$log" || true)
fails=$(grep -c '^FAIL: ' "$log" || true)
grep '^BENCH: ' "$log" >&2 || true
say "probe exit $probe_exit: $passes PASS, $fails FAIL"
[ "$probe_exit" = 0 ] && [ "$fails" = 0 ]
