#!/bin/sh
# Runs the validator that desktops and software centres use on a desktop entry or an
# AppStream metainfo file, and fails on any error or warning it reports (hints and infos
# pass). Skips (77) where the tool is not installed.
set -u
kind=$1
file=$2
case $kind in
desktop) set -- desktop-file-validate "$file" ;;
metainfo) set -- appstreamcli validate --no-net --explain "$file" ;;
*) echo "usage: $0 desktop|metainfo FILE" >&2; exit 2 ;;
esac
command -v "$1" >/dev/null 2>&1 || { echo "$1 is not installed: not checked"; exit 77; }
out=$("$@" 2>&1)
rc=$?
printf '%s\n' "$out"
[ "$rc" -eq 0 ] || exit 1
case $kind in
desktop) ! printf '%s\n' "$out" | grep -Eq '(error|warning):' ;;
metainfo) ! printf '%s\n' "$out" | grep -Eq '^[EW]:' ;;
esac
