#!/bin/bash
# The guest machine's disk, kernel and initrd: a Debian 12 system with 32-bit
# Wine, built from Debian's packages into a folder named after the hash of its
# recipe, outside the clone, so that later runs on this machine reuse it.
#
#   image.sh          build it unless it is there; print its folder
#   image.sh --path   print its folder; fail if it is not built
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${HOPLA_VM_CACHE:-/var/cache/hopla-vm}
recipe=("$here/image.sh" "$here/guest/init" "$here/guest/bake")
hash=$(cat "${recipe[@]}" | sha256sum | cut -c1-16)
image=$cache/guest-$hash

if [[ -f $image/ready ]]; then
    echo "$image"
    exit 0
fi
if [[ ${1:-} == --path ]]; then
    echo "image.sh: no guest image at $image; build it with $here/image.sh" >&2
    exit 1
fi

fail() {
    echo "image.sh: $*" >&2
    exit 1
}
((EUID == 0)) || fail "debootstrap and chroot need root"
for tool in debootstrap mkfs.ext4 debugfs qemu-system-x86_64 python3; do
    command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/setup.sh"
done
mkdir -p "$cache"
# Two runs at once build it once.
exec 9>"$cache/lock"
flock 9
if [[ -f $image/ready ]]; then
    echo "$image"
    exit 0
fi
# Lets go of a build folder, the mounts inside it first: a build that was
# killed can leave /dev bound in there.
discard() {
    { findmnt -rn -o TARGET | grep -F "$1/" || true; } | sort -r | while read -r target; do
        umount -l "$target"
    done
    rm -rf --one-file-system "$1"
}
for stale in "$cache"/build.*; do
    if [[ -d $stale ]]; then discard "$stale"; fi
done

free_kb=$(df -Pk "$cache" | awk 'NR == 2 {print $4}')
((free_kb > 10 * 1024 * 1024)) || fail "less than 10 GB free in $cache"

started=$SECONDS
work=$(mktemp -d "$cache/build.XXXXXX")
root=$work/root
log=$work/log
trap 'discard "$work"' EXIT
trap 'exit 1' INT TERM HUP
step() {
    echo "image.sh: $1 ($((SECONDS - started)) s)"
}
quietly() {
    if ! "$@" >>"$log" 2>&1; then
        tail -n 40 "$log" >&2
        fail "failed: $*"
    fi
}

# Debian's archives as this machine's own apt sources name them.
sources=$(apt-get indextargets --format '$(TARGET_OF) $(REPO_URI) $(RELEASE) $(COMPONENT)' |
    awk '$1 == "deb" && $3 ~ /^bookworm(-updates|-security)?$/ && $4 == "main" {print $1, $2, $3, $4}' |
    sort -u)
mirror=$(awk '$3 == "bookworm" {print $2; exit}' <<<"$sources")
[[ -n $mirror ]] || fail "no bookworm main archive in this machine's apt sources"

step "debootstrap"
quietly debootstrap --variant=minbase --arch=amd64 bookworm "$root" "$mirror"
echo "$sources" >"$root/etc/apt/sources.list"
printf '127.0.0.1 localhost\n127.0.1.1 hopla-vm\n' >"$root/etc/hosts"
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
in_root() {
    quietly chroot "$root" env DEBIAN_FRONTEND=noninteractive LC_ALL=C "$@"
}

step "kernel, 32-bit Wine, Xvfb, Python, Japanese locale and font"
in_root dpkg --add-architecture i386
in_root apt-get update
in_root apt-get install -y --no-install-recommends \
    linux-image-amd64 wine wine32:i386 python3 xvfb xauth locales fonts-ipafont-gothic
echo 'ja_JP.UTF-8 UTF-8' >"$root/etc/locale.gen"
in_root locale-gen
in_root apt-get clean
rm -rf "$root"/var/lib/apt/lists/* "$root/usr/sbin/policy-rc.d"
install -m 755 "$here/guest/init" "$root/usr/local/sbin/hopla-init"
for fs in dev/pts dev sys proc; do
    umount "$root/$fs"
done

step "disk image"
mkdir "$work/out"
cp "$root"/boot/vmlinuz-* "$work/out/vmlinuz"
cp "$root"/boot/initrd.img-* "$work/out/initrd.img"
# Wine's prefix needs room beyond what 4 GB leave.
quietly mkfs.ext4 -q -F -L hopla-root -d "$root" "$work/out/root.img" 6G
rm -rf --one-file-system "$root"

step "first boot: the 32-bit Wine prefix"
mkdir "$work/job"
install -m 755 "$here/guest/bake" "$work/job/job"
quietly mkfs.ext4 -q -F -d "$work/job" "$work/job.img" 64M
python3 "$here/vm.py" guest --image "$work/out" --payload "$work/job.img" --persist \
    --serial "$work/bake-serial.log" --timeout 1200 ||
    { tail -n 40 "$work/bake-serial.log" >&2; fail "the first boot failed"; }
debugfs -R "stat /baked" "$work/job.img" 2>/dev/null | grep -q '^Inode:' ||
    { tail -n 40 "$work/bake-serial.log" >&2; fail "the first boot made no Wine prefix"; }

touch "$work/out/ready"
mv "$work/out" "$image"
# Images of earlier recipes only take room.
find "$cache" -mindepth 1 -maxdepth 1 -name 'guest-*' ! -path "$image" -exec rm -rf --one-file-system {} +
step "guest image ready in $image"
echo "$image"
