#!/usr/bin/env bash
# The Debian package as a user gets it: built with cpack from a release build, unpacked into
# a scratch root, its menu entry, metainfo, manual page and completion checked with the
# distribution's own tools, lintian's verdict (no error, no warning), an install and remove
# by dpkg into a scratch root that leaves nothing behind, and the unpacked program run by a
# user who is not root through the wizard in the terminal to a written file.
# Usage: deb_package.sh SOURCE_FOLDER BUILD_FOLDER
set -euo pipefail
source "$(dirname "$0")/../tools/say_failures.sh"

source_folder=$1
build=$2

fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli man readelf; do
  command -v "$tool" >/dev/null || {
    echo "SKIP: $tool is missing (scripts/test-tools installs it)"; exit 77; }
done
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  command -v setpriv >/dev/null || { echo "SKIP: setpriv is missing"; exit 77; }
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi

# 1. The package, from a release build of its own (kept between runs, so only the first
# run compiles everything).
mkdir -p "$build"
log=$build/package-test.log
{
  cmake -S "$source_folder" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF \
    -DCORVANE_SANITIZE=OFF &&
    cmake --build "$build" -j2 &&
    rm -f "$build"/corvane_*.deb &&
    (cd "$build" && cpack -G DEB)
} >"$log" 2>&1 || { tail -n 30 "$log" >&2; fail "building the package (see $log)"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/corvane_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $deb (found: $(ls "$build"/*.deb 2>/dev/null))"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libfltk1.3 libx11-6 libgmime-3.0-0; do
  case "$depends" in *"$library "* | *"$library,"* | *"$library") ;;
    *) fail "Depends does not name $library: $depends";; esac
done
# No mail transport agent: one installed for the package would deliver on this machine only.
recommends=$(dpkg-deb -f "$deb" Recommends)
[ "$recommends" = xdg-utils ] || fail "Recommends: $recommends"
suggests=$(dpkg-deb -f "$deb" Suggests)
[ "$suggests" = "msmtp-mta, libpq5, libcurl4" ] || fail "Suggests: $suggests"

work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"

# Debian's own judgement of the package: any error or warning fails it.
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.out" 2>&1 &&
    ! grep -qE '^(E|W):' "$work/lintian.out" || fail "lintian: $(cat "$work/lintian.out")"
else
  echo "deb_package: lintian is missing (scripts/test-tools installs it); not checked"
fi
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)
case "$control" in *postinst* | *postrm* | *preinst* | *prerm* | *conffiles*)
  fail "the package has maintainer scripts or conffiles: $control";; esac

# Installed and removed by dpkg, in a database and root of its own: the remove leaves the
# package unknown, not in the config-files state ("rc"), and no file of it behind.
admin=$work/dpkg
mkdir -p "$admin/info" "$admin/updates" "$work/installed"
touch "$admin/status" "$admin/available"
dpkg_scratch() {
  dpkg --admindir="$admin" --instdir="$work/installed" --force-depends --force-not-root \
    --log=/dev/null "$@" >"$work/dpkg.out" 2>&1 || fail "dpkg $*: $(cat "$work/dpkg.out")"
}
dpkg_scratch -i "$deb"
[ -f "$work/installed/usr/bin/corvane" ] || fail "dpkg -i installed no /usr/bin/corvane"
dpkg_scratch -r corvane
state=$(dpkg-query --admindir="$admin" -W -f='${db:Status-Abbrev}' corvane 2>/dev/null || true)
case "$state" in "" | un*) ;; *) fail "after a remove the package is in state '$state'";; esac
left=$(find "$work/installed" ! -type d)
[ -z "$left" ] || fail "the remove left $left"

# 2. What it installs, unpacked into a scratch root that the user can read.
root=$work/root
dpkg-deb -x "$deb" "$root"
chmod -R a-w "$root/usr"  # as installed: a user cannot write there, even the one unpacking
binary=$root/usr/bin/corvane
for f in usr/bin/corvane usr/lib/corvane/libcorvane-window.so usr/lib/corvane/libcorvane-mailbox.so \
  usr/share/applications/corvane.desktop usr/share/metainfo/org.corvane.Corvane.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/corvane.svg usr/share/man/man1/corvane.1.gz \
  usr/share/bash-completion/completions/corvane usr/share/doc/corvane/copyright \
  usr/share/doc/corvane/changelog.gz; do
  [ -f "$root/$f" ] || fail "the package does not install /$f"
done
for elf in "$binary" "$root"/usr/lib/corvane/*.so; do
  ! readelf -S "$elf" | grep -qE '\.(symtab|debug_info)' || fail "$elf is not stripped"
done

desktop=$root/usr/share/applications/corvane.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'Exec=/usr/bin/corvane' "$desktop" || fail "the menu entry runs $(grep ^Exec "$desktop")"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.xml >/dev/null ||
  fail "appstreamcli validate: $(appstreamcli validate --no-net "$root"/usr/share/metainfo/*.xml)"

manual=$(LC_ALL=C.UTF-8 MANWIDTH=100 man --warnings -l "$root/usr/share/man/man1/corvane.1.gz" \
  2>"$work/man.err") || fail "man -l"
[ ! -s "$work/man.err" ] || fail "the manual page: $(cat "$work/man.err")"
for heading in SYNOPSIS 'THE WIZARD' OPTIONS VERBS 'EXIT STATUS' FILES ENVIRONMENT EXAMPLES; do
  grep -qx "$heading" <<<"$manual" || fail "the manual page has no $heading"
done
# Every verb and option the program knows is in the manual page.
for word in identify record decode register --text --help --version --drive --json --save --load \
  --csv --db --match XDG_STATE_HOME XDG_DATA_HOME EMAIL CORVANE_SENDMAIL; do
  grep -qe "$word" <<<"$manual" || fail "the manual page does not mention $word"
done

completions() {  # completions WORDS...: what the completion offers for the last word
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _corvane
    printf "%s\n" "${COMPREPLY[@]}"' _ "$root/usr/share/bash-completion/completions/corvane" "$@"
}
[ "$(completions corvane '' | sort | tr '\n' ' ')" = \
  "--help --text --version decode identify record register " ] ||
  fail "verbs: $(completions corvane '')"
[ "$(completions corvane identify --d)" = "--drive" ] || fail "identify's options"
[ "$(completions corvane decode --cs)" = "--csv" ] || fail "decode's options"
[ "$(completions corvane decode --codepage 1252 | tr '\n' ' ')" = "1252 " ] || fail "decode's code pages"

# 3. The unpacked program, run by a user who cannot write its folder (/usr/bin): the
# language file goes to the per-user folder, the machine-information file to the home.
export HOME=$work/home XDG_RUNTIME_DIR=$work/run
unset XDG_CONFIG_HOME XDG_STATE_HOME DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
[ ${#as_user[@]} -eq 0 ] || chown 65534:65534 "$HOME" "$XDG_RUNTIME_DIR"
run() { "${as_user[@]}" "$binary" "$@"; }

record=$(run record --json | sed -n 's/^  "record": "\(.*\)",$/\1/p')
[ -n "$record" ] || { echo "SKIP: drive 0 has no identity for this user here"; exit 77; }

out=$(printf 'en\nok\n' | run --text) || fail "the wizard's first screens: $out"
case "$out" in *"Are You Working on That Machine Now?"*) ;; *) fail "no stage 1: $out";; esac
language=$HOME/.local/state/corvane/idioma.txt
[ "$(od -An -c "$language" 2>/dev/null | tr -d ' ')" = '3\r\n' ] ||
  fail "no language file at $language"

host=$(hostname | tr '[:lower:]' '[:upper:]')
report="$HOME/Lumbrook$(date +%Y%m%d)$host.kik"
out=$(printf 'en\nok\nyes\nno\nok\n' | run --text) || fail "the wizard: $out"
case "$out" in *$'Please Send File\n\n'"$report"*) ;; *) fail "no manual-send screen: $out";; esac
[ "$(cat "$report")" = "$record"$'\r' ] || fail "the file holds $(od -c "$report" | head -3)"
[ -z "$(find "$root" -newer "$deb" ! -type d)" ] || fail "something was written under /usr"
echo "deb_package: $(basename "$deb") installs, validates and runs"
