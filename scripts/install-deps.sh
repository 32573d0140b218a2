#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Kadrill needs.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  # build
  cmake ninja-build ccache g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libx11-dev libxfixes-dev
  # alarm: sound through SDL2_mixer (MIDI through FluidSynth and a small GM soundfont),
  # keys through XTest, the owner of a window through X-Resource
  libsdl2-mixer-dev timgm6mb-soundfont libxtst-dev libxres-dev
  # help: qhelpgenerator at build time, Qt Help and its SQLite driver at run time
  qt6-tools-dev qt6-tools-dev-tools qt6-documentation-tools libqt6sql6-sqlite
  # tests
  googletest libgtest-dev libgmock-dev
  xvfb xauth faketime trayer x11-utils
  # a notification area on the session bus (StatusNotifierItem), as KDE Plasma and GNOME's
  # AppIndicator extension have, for the tray tests
  haskell-gtk-sni-tray-utils
  # end-to-end: a window manager to minimise and move; fuzzing the settings reader
  openbox clang libclang-rt-14-dev
  # the key-sending tests switch keyboard layouts in their own Xvfb
  x11-xkb-utils
  # GNOME's compositor for the end-to-end tests on Wayland (headless, with XWayland), and a
  # GTK program there for the alarm's keys; Qt's Wayland platform for sessions without X
  mutter xwayland zenity qt6-wayland
  # benchmark: the reference clock and the repaint watcher
  x11-apps libxdamage-dev xdotool
  # setting the clock: its tests start a private message bus with a fake time service,
  # run without the right to set the clock (capsh) and need the time-zone data
  dbus-daemon libcap2-bin tzdata
  # Japanese glyphs and the ♪ mark on the face; Qt's own texts (file dialogs) in Japanese
  fonts-ipafont-gothic fontconfig qt6-translations-l10n
  # the Debian package: its Depends (dpkg-shlibdeps, which CPack finds with file) and the
  # checks of the package, the desktop entry and the AppStream metainfo
  dpkg-dev file lintian desktop-file-utils appstream
  # alarm files as documents: the MIME database (update-mime-database) and the test that
  # asks xdg-mime for their type, which it reads through File::MimeInfo off a desktop
  shared-mime-info xdg-utils libfile-mimeinfo-perl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
  else
    echo "install-deps: need root (or sudo) to install: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
