#!/bin/bash
# Checks of the installed form of the programs.
#
#   package_test.sh answers TESTNUV VERSION
#       testnuv --version and --help answer and end; a write that fails is an error
#   package_test.sh build CPACK_CONFIG DIR
#       build the Debian package from the build tree into DIR
#   package_test.sh lintian DIR
#       lintian finds no error in DIR's package (warnings are shown)
#   package_test.sh unpacked DIR VERSION BUILT_SIM PROGRAM...
#       unpack DIR's package with dpkg -x and run what it holds from there
set -u

fail() { echo "FAIL: $*"; exit 1; }
need() { command -v "$1" >/dev/null 2>&1 || fail "$1 is missing (tools/install-deps test installs it)"; }

# The one package in DIR.
package_in() {
  local debs=("$1"/testnuv_*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one testnuv_*.deb in $1"
  echo "${debs[0]}"
}

# testnuv answers --version and --help without starting the experiment.
answers() {
  local program=$1 version=$2 out
  out=$(DISPLAY= WAYLAND_DISPLAY= "$program" --version) || fail "--version exit status $?"
  [[ "$out" =~ ^testnuv\ ${version//./\\.}\ \(([0-9a-f]{12}(-dirty)?|unknown)\)$ ]] ||
    fail "--version printed '$out'"
  out=$("$program" --help) || fail "--help exit status $?"
  [[ "$out" == "uso: testnuv"* && "$out" == *"--version"* ]] || fail "--help printed '$out'"
  # A text that cannot be written is a failure, not a success.
  "$program" --version >/dev/full 2>/dev/null && fail "--version into a full disk exits 0"
  "$program" --help >&- 2>/dev/null && fail "--help into a closed stdout exits 0"
  echo "PASS: testnuv --version: $("$program" --version)"
}

build() {
  local config=$1 dir=$2
  need dpkg-shlibdeps
  [ -f "$config" ] || fail "$config is missing"
  rm -rf "$dir"
  cpack -G DEB --config "$config" -B "$dir" >"$dir.log" 2>&1 || { cat "$dir.log"; fail "cpack failed"; }
  local deb
  deb=$(package_in "$dir")
  # The dependencies come from dpkg-shlibdeps: the C library is always among them.
  dpkg-deb -f "$deb" Depends | grep -q 'libc6 (>=' || fail "no computed dependencies in $deb"
  echo "PASS: $(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
}

run_lintian() {
  local deb
  need lintian
  deb=$(package_in "$1")
  # Errors fail; warnings and notes are listed for the record.
  lintian --fail-on error --tag-display-limit 0 --display-info "$deb" 2>&1 | grep -v 'root privileges'
  local status=${PIPESTATUS[0]}
  [ "$status" -eq 0 ] || fail "lintian reports errors (status $status)"
  echo "PASS: lintian reports no error"
}

# Render a manual page; man's warnings count as faults.
render_page() {
  local page=$1 name=$2 out err
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 MAN_KEEP_FORMATTING= man --warnings -l -P cat "$page" 2>"$work/man.err") ||
    fail "man -l $page failed: $(cat "$work/man.err")"
  err=$(grep -v '^$' "$work/man.err")
  [ -z "$err" ] || fail "man -l $page warns: $err"
  grep -q "^NAME" <<<"$out" && grep -q "$name" <<<"$out" || fail "$page does not render a page for $name"
}

unpacked() {
  local dir=$1 version=$2 built_sim=$3
  shift 3
  local programs=("$@")
  need dpkg-deb
  need man
  local deb
  deb=$(package_in "$dir")
  work=$(mktemp -d "${TMPDIR:-/tmp}/testnuv-package.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  local root=$work/root
  dpkg -x "$deb" "$root" || fail "dpkg -x $deb"

  # Every program, each with its manual page.
  local p
  for p in "${programs[@]}"; do
    [ -x "$root/usr/bin/$p" ] || fail "/usr/bin/$p is not in the package"
    [ -f "$root/usr/share/man/man1/$p.1.gz" ] || fail "no manual page for $p"
  done
  local page
  for page in "$root"/usr/share/man/man1/*; do
    [[ "$page" == *.1.gz ]] || fail "manual page not gzip-compressed: $page"
    gzip -t "$page" || fail "broken $page"
    render_page "$page" "$(basename "$page" .1.gz)"
  done
  echo "PASS: ${#programs[@]} programs, each with its manual page; every page renders"

  # The unpacked programs answer with their version; the unpacked simulator writes the
  # very log that the built one writes, and the unpacked study tool finds it right.
  for p in testnuv testnuv-sim testnuv-study; do
    [ -x "$root/usr/bin/$p" ] || fail "the package has no /usr/bin/$p"
    "$root/usr/bin/$p" --version | grep -q "^$p $version (" || fail "unpacked $p --version"
  done
  local args=(--seconds 1801 --seed 7 --start "2026-03-01 10:00:00")
  mkdir -p "$work/run" "$work/built"
  "$root/usr/bin/testnuv-sim" "${args[@]}" --dir "$work/run" >"$work/sim.out" 2>&1 ||
    { cat "$work/sim.out"; fail "unpacked testnuv-sim failed"; }
  "$built_sim" "${args[@]}" --dir "$work/built" >/dev/null 2>&1 || fail "built testnuv-sim failed"
  local log=$work/run/estudio_03-01-2026
  [ -s "$log" ] || fail "the unpacked simulator wrote no study log"
  cmp "$log" "$work/built/estudio_03-01-2026" || fail "the unpacked simulator's log differs"
  echo "PASS: unpacked testnuv-sim: $(grep -c . "$log") log lines, same as the built one"
  local study=$root/usr/bin/testnuv-study
  if [ -x "$study" ]; then
    "$study" verify "$log" >"$work/verify.out" 2>&1 || { cat "$work/verify.out"; fail "unpacked testnuv-study verify"; }
    "$study" extract "$log" --out "$work/data" >"$work/extract.out" 2>&1 ||
      { cat "$work/extract.out"; fail "unpacked testnuv-study extract"; }
    (cd "$work/data" && sha256sum --quiet -c SHA256SUMS) || fail "the data folder's SHA256SUMS do not hold"
    "$study" verify "$work/data" >>"$work/verify.out" 2>&1 ||
      { cat "$work/verify.out"; fail "unpacked testnuv-study verify of the data folder"; }
    echo "PASS: unpacked testnuv-study verify and extract: $(tr '\n' ' ' <"$work/verify.out")"
  fi

  # The launcher of the menu entry makes ~/testnuv and starts the program there; with no
  # display the program says so and ends with 0.
  local home=$work/home
  mkdir -p "$home"
  local out
  out=$(cd / && env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" PATH="$root/usr/bin:$PATH" \
        SDL_VIDEODRIVER=x11 "$root/usr/libexec/testnuv/start-in-folder" 2>&1) ||
    fail "start-in-folder exit status $?: $out"
  [ -d "$home/testnuv" ] || fail "start-in-folder did not make ~/testnuv"
  grep -q "Error setting video mode!" <<<"$out" || fail "start-in-folder did not start testnuv: $out"
  grep -q '^Exec=/usr/libexec/testnuv/start-in-folder$' "$root/usr/share/applications/testnuv.desktop" ||
    fail "the desktop entry does not start the launcher"
  echo "PASS: start-in-folder makes ~/testnuv and starts testnuv"

  # The user unit is valid for systemd (pointed at the unpacked program).
  local unit=$root/usr/lib/systemd/user/testnuv.service
  [ -f "$unit" ] || fail "no user unit"
  grep -q '^ExecStart=/usr/bin/testnuv$' "$unit" || fail "the unit does not start /usr/bin/testnuv"
  if command -v systemd-analyze >/dev/null 2>&1; then
    mkdir -p "$work/units" "$work/runtime"
    chmod 700 "$work/runtime"
    sed "s#=/usr/bin/#=$root/usr/bin/#" "$unit" >"$work/units/testnuv.service"
    XDG_RUNTIME_DIR=$work/runtime HOME=$home \
      systemd-analyze verify --user --man=no "$work/units/testnuv.service" >"$work/verify.log" 2>&1 ||
      { cat "$work/verify.log"; fail "systemd-analyze rejects the user unit"; }
    echo "PASS: systemd-analyze accepts the user unit"
  fi
  echo "PASS: unpacked package"
}

case "${1:-}" in
  answers) answers "$2" "$3" ;;
  build) build "$2" "$3" ;;
  lintian) run_lintian "$2" ;;
  unpacked) shift; unpacked "$@" ;;
  *) fail "unknown case '${1:-}'" ;;
esac
