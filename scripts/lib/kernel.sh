# Debian's own kernel for the tests that boot it under QEMU: vmlinuz and the modules the tests
# load, taken from the current linux-image package (resolved each run, downloaded once into the
# cache, never installed on this machine).
#   source scripts/lib/kernel.sh; fetch_kernel CACHE_DIR   sets $kernel_dir and $kernel_version

# The modules a guest may load, as paths under lib/modules/VERSION/kernel/.
KERNEL_MODULES=(
  drivers/hid/hid.ko drivers/hid/hid-generic.ko drivers/hid/uhid.ko
  drivers/virtio/virtio_ring.ko drivers/virtio/virtio.ko drivers/virtio/virtio_pci.ko
  drivers/virtio/virtio_pci_modern_dev.ko drivers/virtio/virtio_pci_legacy_dev.ko
  net/9p/9pnet.ko net/9p/9pnet_virtio.ko fs/netfs/netfs.ko fs/fscache/fscache.ko fs/9p/9p.ko
  fs/overlayfs/overlay.ko
  drivers/usb/common/usb-common.ko drivers/usb/core/usbcore.ko drivers/hid/usbhid/usbhid.ko
  drivers/usb/gadget/udc/udc-core.ko drivers/usb/gadget/udc/dummy_hcd.ko fs/configfs/configfs.ko
  drivers/usb/gadget/libcomposite.ko drivers/usb/gadget/function/usb_f_fs.ko
)

fetch_kernel() {
  local cache=$1 package deb patterns=('./boot/vmlinuz-*')
  image_package() { apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}'; }
  package=$(image_package)
  if [ -z "$package" ]; then
    apt-get update -qq
    package=$(image_package)
  fi
  [ -n "$package" ] || { echo "cannot resolve linux-image-amd64" >&2; return 1; }
  kernel_dir=$cache/$package
  # The marker names the module list, so a longer list fetches the package again.
  local marker
  marker=$kernel_dir/complete-$(printf '%s\n' "${KERNEL_MODULES[@]}" | md5sum | cut -c1-8)
  if [ ! -f "$marker" ]; then
    echo "Fetching $package"
    rm -rf "$kernel_dir" "$cache"/*.deb
    mkdir -p "$kernel_dir"
    (cd "$cache" && { apt-get -qq -o APT::Sandbox::User=root download "$package" ||
                      { apt-get update -qq && apt-get -qq -o APT::Sandbox::User=root download "$package"; }; })
    deb=$(ls "$cache"/"$package"_*.deb)
    for module in "${KERNEL_MODULES[@]}"; do patterns+=("*/kernel/$module*"); done
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$kernel_dir" --wildcards "${patterns[@]}"
    rm -f "$deb"
    touch "$marker"
  fi
  kernel_version=$(ls "$kernel_dir/lib/modules")
}

# Copies module NAME (hid, uhid, 9p ...) uncompressed to DIR/NAME.ko.
copy_module() {
  local name=$1 dir=$2 file
  file=$(find "$kernel_dir/lib/modules" -name "$name.ko*" | head -n1)
  [ -n "$file" ] || { echo "module $name missing from the kernel package" >&2; return 1; }
  case "$file" in
    *.xz) xz -dc "$file" >"$dir/$name.ko" ;;
    *) cp "$file" "$dir/$name.ko" ;;
  esac
}

# A fresh initramfs tree in DIR: busybox as /bin/sh, an empty modules/ folder, and each PROGRAM in
# bin/ with the shared libraries it loads at their own paths.
initramfs_root() {
  local dir=$1 lib
  shift
  rm -rf "$dir"
  mkdir -p "$dir"/{bin,modules}
  cp /bin/busybox "$dir/bin/busybox"
  ln -s busybox "$dir/bin/sh"
  [ $# -eq 0 ] && return 0
  cp "$@" "$dir/bin/"
  for lib in $(ldd "$@" | awk '$2 == "=>" && $3 ~ /^\// {print $3} $1 ~ /^\// && $1 !~ /:$/ {print $1}' | sort -u); do
    mkdir -p "$dir$(dirname "$lib")"
    cp -L "$lib" "$dir$lib"
  done
}

# Packs the tree DIR, whose init script is DIR/init, into the gzipped cpio archive OUT.
pack_initramfs() {
  chmod +x "$1/init"
  (cd "$1" && find . | cpio -o -H newc --quiet) | gzip -1 >"$2"
}

# Boots the fetched kernel with INITRD under QEMU (software emulation, serial console, no reboot),
# at most SECONDS, with the machine's own QEMU_ARGS (CPU, memory, devices). The console goes to
# LOG without terminal escapes; the status is QEMU's.
#   boot_guest SECONDS INITRD LOG QEMU_ARGS...
boot_guest() {
  local seconds=$1 initrd=$2 log=$3
  shift 3
  timeout "$seconds" qemu-system-x86_64 -machine q35 -accel tcg "$@" \
    -kernel "$(ls "$kernel_dir"/boot/vmlinuz-*)" -initrd "$initrd" \
    -append "console=ttyS0 panic=-1 quiet loglevel=4" \
    -nographic -no-reboot -nodefaults -serial stdio -monitor none </dev/null 2>&1 |
    sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\x1bc//g' -e 's/\r$//' >"$log"
  return "${PIPESTATUS[0]}"
}
