#!/bin/sh
# Packs this build as `make package` does, into a scratch directory, and checks the
# Debian package: the files it installs with their modes, the packages it depends on, that
# purging it leaves nothing behind (in an empty root of its own, never the machine's), and
# what lintian says (no error). Skips (77) where the Debian tools are not installed.
set -eu
cpack=$1
build=$2
id=$3
version=$4
for tool in dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool is not installed: not checked"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! "$cpack" --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi
deb=$work/kadrill_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "cpack made no $deb"; cat "$work/cpack.log"; ls "$work"; exit 1; }
failed=0

# Every file with its mode and owner; directories are whatever holds them.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $1, $2, $6 }' | sort -k3 >"$work/files"
{
  echo "-rwxr-xr-x root/root /usr/bin/kadrill"
  echo "-rw-r--r-- root/root /usr/lib/kadrill/kadrill-help.so"
  echo "-rw-r--r-- root/root /usr/lib/kadrill/kadrill-sound.so"
  echo "-rw-r--r-- root/root /usr/share/applications/$id.desktop"
  echo "-rw-r--r-- root/root /usr/share/doc/kadrill/changelog.gz"
  echo "-rw-r--r-- root/root /usr/share/doc/kadrill/copyright"
  for size in 128 16 22 24 256 32 48 64; do
    echo "-rw-r--r-- root/root /usr/share/icons/hicolor/${size}x$size/apps/$id.png"
    echo "-rw-r--r-- root/root /usr/share/icons/hicolor/${size}x$size/mimetypes/application-x-kadrill-alarm.png"
  done
  echo "-rw-r--r-- root/root /usr/share/kadrill/help/kadrill.qch"
  echo "-rw-r--r-- root/root /usr/share/kadrill/help/kadrill.qhc"
  echo "-rw-r--r-- root/root /usr/share/man/man1/kadrill.1.gz"
  echo "-rw-r--r-- root/root /usr/share/metainfo/$id.metainfo.xml"
  echo "-rw-r--r-- root/root /usr/share/mime/packages/$id.xml"
} | sort -k3 >"$work/expected"
if ! diff -u "$work/expected" "$work/files"; then
  echo "the package's files differ from the expected ones (- expected, + packed)"
  failed=1
fi

# The libraries dpkg-shlibdeps found, and what the program loads by name.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
echo "Recommends: $(dpkg-deb -f "$deb" Recommends)"
for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 libqt6help6 libqt6sql6 \
  libsdl2-mixer-2.0-0 libx11-6 libxtst6 libxfixes3 libxres1 \
  qt6-qpa-plugins libqt6sql6-sqlite fonts-ipafont-gothic timgm6mb-soundfont; do
  if ! printf '%s\n' "$depends" | tr ',|' '\n\n' | sed 's/^ *//; s/ .*//' | grep -qx "$package"; then
    echo "Depends lacks $package"
    failed=1
  fi
done

# Installed into an empty root of its own and purged again, it leaves nothing behind.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: >"$root/var/lib/dpkg/status"
dpkg_here() { dpkg --root="$root" --force-not-root --force-script-chrootless --force-depends "$@" >"$work/dpkg.log" 2>&1; }
if ! dpkg_here -i "$deb"; then
  cat "$work/dpkg.log"
  echo "dpkg could not install the package"
  failed=1
fi
installed=$(find "$root" -type f -not -path "$root/var/*" | wc -l)
[ "$installed" -eq "$(wc -l <"$work/expected")" ] || { echo "dpkg installed $installed files"; failed=1; }
dpkg_here --purge kadrill || { cat "$work/dpkg.log"; failed=1; }
left=$(find "$root" -mindepth 1 -not -path "$root/var" -not -path "$root/var/*")
if [ -n "$left" ]; then
  echo "left behind after purging the package:"
  echo "$left"
  failed=1
fi

if command -v lintian >/dev/null 2>&1; then
  echo "lintian:"
  if ! lintian --fail-on error --display-info "$deb"; then
    echo "lintian reports errors"
    failed=1
  fi
else
  echo "lintian is not installed: the package's policy is not checked"
fi
exit $failed
