#!/usr/bin/env bash
# Installs the Debian packages Kadrill needs, by what is to be done:
#   install-deps.sh [run|package|test|desktops|windows]   installs what is missing (test, the
#                                         default: all make test needs; desktops: that and the
#                                         desktops of make desktops; windows: the cross build
#                                         and Wine, for make windows and make test-windows)
#   install-deps.sh --have GROUP         only says (exit status) whether all of it is there
# When everything is present it only checks, with one dpkg-query, and asks for no root.
set -euo pipefail

# building and running the program
run_packages=(
  cmake ninja-build ccache g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libx11-dev libxfixes-dev
  # the font configuration read on a thread of its own while the first window is built
  libfontconfig-dev
  # alarm: sound through SDL2_mixer (MIDI through FluidSynth and a small GM soundfont),
  # keys through XTest, the owner of a window through X-Resource
  libsdl2-mixer-dev timgm6mb-soundfont libxtst-dev libxres-dev
  # help: qhelpgenerator at build time, Qt Help and its SQLite driver at run time
  qt6-tools-dev qt6-tools-dev-tools qt6-documentation-tools libqt6sql6-sqlite
  # Japanese glyphs and the ♪ mark on the face; Qt's own texts (file dialogs) in Japanese
  fonts-ipafont-gothic fontconfig qt6-translations-l10n
  # Qt's Wayland platform, for sessions without an X display
  qt6-wayland
)
# the Debian package: its Depends (dpkg-shlibdeps, which CPack finds with file)
package_packages=(dpkg-dev file)
test_packages=(
  googletest libgtest-dev libgmock-dev
  xvfb xauth faketime trayer x11-utils
  # a notification area on the session bus (StatusNotifierItem), as KDE Plasma and GNOME's
  # AppIndicator extension have, for the tray tests
  haskell-gtk-sni-tray-utils haskell-status-notifier-item-utils
  # end-to-end: the accessibility bus and a client that reads the tree off it
  at-spi2-core gir1.2-atspi-2.0 python3-gi
  # end-to-end: a window manager to minimise and move; fuzzing the settings reader
  openbox clang libclang-rt-14-dev
  # the key-sending tests switch keyboard layouts in their own Xvfb
  x11-xkb-utils
  # GNOME's compositor for the end-to-end tests on Wayland (headless, with XWayland), and a
  # GTK program there for the alarm's keys
  mutter xwayland zenity
  # benchmark: the reference clock and the repaint watcher
  x11-apps libxdamage-dev xdotool
  # setting the clock: its tests start a private message bus with a fake time service,
  # run without the right to set the clock (capsh) and need the time-zone data
  dbus-daemon libcap2-bin tzdata
  # checks of the package, the desktop entry and the AppStream metainfo
  lintian desktop-file-utils appstream
  # alarm files as documents: the MIME database (update-mime-database) and the test that
  # asks xdg-mime for their type, which it reads through File::MimeInfo off a desktop
  shared-mime-info xdg-utils libfile-mimeinfo-perl
  # the alarm's sound on a real sound server of the test's own (a null sink recorded)
  pipewire pipewire-bin pipewire-pulse wireplumber
  # make lint: the naming rule
  clang-tidy
)
# make desktops: the desktops people run, each started headless from its own packages; the
# session's settings service keeps GNOME's list of extensions, dbus-bin passes the session's
# variables to what its bus starts
desktop_packages=(
  xfwm4 xfce4-panel
  kwin-x11 plasma-workspace plasma-desktop
  gnome-shell gnome-shell-extension-appindicator libglib2.0-bin dconf-gsettings-backend dconf-service
  dbus-bin
)
# make windows and make test-windows: the cross compiler (its posix flavour has std::thread),
# GoogleTest's sources for the contract suite, the installer builder, the help as a CHM, and
# Wine on the tests' own Xvfb
windows_packages=(
  cmake ninja-build make
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev googletest nsis fp-utils
  wine64 xvfb xauth x11-utils libcap2-bin fonts-ipafont-gothic
)

check_only=0
if [ "${1:-}" = "--have" ]; then
  check_only=1
  shift
fi
case "${1:-test}" in
  run) packages=("${run_packages[@]}") ;;
  package) packages=("${run_packages[@]}" "${package_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${package_packages[@]}" "${test_packages[@]}") ;;
  desktops) packages=("${run_packages[@]}" "${package_packages[@]}" "${test_packages[@]}" "${desktop_packages[@]}") ;;
  windows) packages=("${windows_packages[@]}") ;;
  *) echo "usage: install-deps.sh [--have] [run|package|test|desktops|windows]" >&2; exit 2 ;;
esac

# One query for all: packages that are not installed are missing from its answer.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
  awk '/ install ok installed$/ { print $1 }' || true)
missing=()
for p in "${packages[@]}"; do
  if ! grep -qxF "$p" <<<"$installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ $check_only -eq 1 ]; then
  exit 1
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
