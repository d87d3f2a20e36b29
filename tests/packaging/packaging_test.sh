#!/usr/bin/env bash
# Checks what the program installs:
#   packaging_test.sh install <build dir>   cmake --install into a scratch prefix:
#     the files, the desktop entry (valid; starts the program in ~/Dorvane,
#     made on first use) and the icons' sizes
#   packaging_test.sh deb <build dir>       cpack -G DEB into <build dir>/package:
#     the package's files, its dependencies and description, and lintian's
#     verdict on it where lintian is installed
set -euo pipefail
mode="$1"
build="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The files, relative to the installation prefix.
expected_files() {
  printf '%s\n' \
    bin/dorvane \
    bin/dorvane-check \
    share/applications/dorvane.desktop \
    share/doc/dorvane/changelog.Debian.gz \
    share/doc/dorvane/copyright \
    share/dorvane/stim/click.wav \
    share/dorvane/stim/error.wav \
    share/dorvane/stim/opening.bmp \
    share/dorvane/stim/patch.bmp \
    share/icons/hicolor/256x256/apps/dorvane.png \
    share/icons/hicolor/48x48/apps/dorvane.png \
    share/icons/hicolor/scalable/apps/dorvane.svg \
    share/lintian/overrides/dorvane \
    share/man/man1/dorvane-check.1.gz \
    share/man/man1/dorvane.1.gz \
    share/metainfo/org.example.dorvane.metainfo.xml
}

same_lists() {  # <what> <expected> <actual>
  if [ "$2" != "$3" ]; then
    diff <(echo "$2") <(echo "$3") >&2 || true
    fail "$1 (< expected, > found)"
  fi
}

# Width x height from a PNG's header.
png_size() {
  od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'
}

check_install() {
  local prefix="$scratch/prefix"
  cmake --install "$build" --prefix "$prefix" >/dev/null
  same_lists "installed files" "$(expected_files)" \
    "$(cd "$prefix" && find . -type f -printf '%P\n' | LC_ALL=C sort)"

  desktop-file-validate "$prefix/share/applications/dorvane.desktop" || fail "desktop entry"
  for size in 48 256; do
    local png="$prefix/share/icons/hicolor/${size}x$size/apps/dorvane.png"
    [ "$(png_size "$png")" = "${size}x$size" ] || fail "$png is $(png_size "$png")"
  done
  grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/dorvane.svg" || fail "icon not SVG"

  # Launched as a desktop launches it, the entry runs `dorvane` in ~/Dorvane:
  # a stand-in notes where it ran, twice: with the folder still to make, then made.
  mkdir -p "$scratch/stand-in" "$scratch/home"
  printf '#!/bin/sh\npwd >>"%s/ran"\n' "$scratch" >"$scratch/stand-in/dorvane"
  chmod +x "$scratch/stand-in/dorvane"
  for run in 1 2; do
    HOME="$scratch/home" PATH="$scratch/stand-in:$PATH" \
      gio launch "$prefix/share/applications/dorvane.desktop"
    for _ in $(seq 100); do
      [ "$(wc -l <"$scratch/ran" 2>/dev/null || echo 0)" -ge "$run" ] && break
      sleep 0.1
    done
  done
  same_lists "where the desktop entry starts the program" \
    "$(printf '%s\n' "$scratch/home/Dorvane" "$scratch/home/Dorvane")" "$(cat "$scratch/ran" 2>/dev/null)"
}

check_deb() {
  local out="$build/package"
  rm -rf "$out"
  cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; fail "cpack"; }
  local deb
  deb="$(ls "$out"/dorvane_*.deb)"
  same_lists "files in $deb" "$(expected_files | sed 's|^|usr/|')" \
    "$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||' | LC_ALL=C sort)"

  # The libraries it links, as dpkg-shlibdeps names their packages, and the
  # font no link shows.
  local depends
  depends="$(dpkg-deb -f "$deb" Depends)"
  echo "Depends: $depends"
  for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6opengl6 \
    libqt6multimedia6 fonts-ipafont-gothic; do
    grep -Eq "(^|, )${package//+/\\+}( |,|$)" <<<"$depends" || fail "$package is not in Depends"
  done
  grep -Eq '(^|, )libqt6core6 \(>= ' <<<"$depends" || fail "no version from dpkg-shlibdeps"
  dpkg-deb -f "$deb" Recommends | grep -q qt6-wayland || fail "qt6-wayland is not recommended"
  # The description as a package manager shows it: no line beyond 79 columns.
  local long
  long="$(dpkg-deb -f "$deb" Description | awk 'length > 79')"
  [ -z "$long" ] || fail "description lines over 79 columns: $long"
  check_lintian "$deb"
}

# Debian's own check of the package, where it is installed: no error, no
# warning and no hardening tag.
check_lintian() {
  if ! command -v lintian >/dev/null; then
    echo "lintian is not installed: the package is not checked by it"
    return 0
  fi
  local tags
  tags="$(lintian --no-cfg --tag-display-limit 0 "$1" 2>&1 | grep -v 'running with root privileges' || true)"
  echo "lintian:"
  echo "${tags:-  (no tags)}"
  if grep -Eq '^(E|W): |hardening' <<<"$tags"; then
    fail "lintian reports errors, warnings or hardening tags"
  fi
}

case "$mode" in
  install) check_install ;;
  deb) check_deb ;;
  *) fail "unknown mode $mode" ;;
esac
echo "packaging_test $mode: passed"
