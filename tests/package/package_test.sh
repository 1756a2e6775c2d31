#!/bin/bash
# Checks of the installed form of the programs.
#
#   package_test.sh answers TESTNUV VERSION_INFO
#       testnuv --version and --help answer and end; a write that fails is an error
#   package_test.sh build CPACK_CONFIG DIR
#       build the Debian package from the build tree into DIR
#   package_test.sh reproducible CPACK_CONFIG VERSION_INFO
#       two packings of the build, the second after its files were touched, give the
#       same bytes; no file in the package is dated after the commit
#   package_test.sh lintian DIR
#       lintian finds no error in DIR's package (warnings are shown)
#   package_test.sh pages MANDIR PROGRAM...
#       each program's page (MANDIR/<name>.1.gz) has every section and, in its OPTIONS,
#       every option of the program's --help and of each subcommand's --help
#   package_test.sh licences FILE [windows]
#       the copyright file FILE (Debian's format; CR LF allowed) names each library
#       compiled into the programs (with winpthreads: those of the Windows zip) with
#       its licence, and holds the text of every licence it names
#   package_test.sh unpacked DIR VERSION_INFO BUILT_SIM PROGRAM...
#       unpack DIR's package with dpkg -x and run what it holds from there
# VERSION_INFO is the build's version file (cmake/version.cmake).
set -u

fail() { echo "FAIL: $*"; exit 1; }
need() { command -v "$1" >/dev/null 2>&1 || fail "$1 is missing (tools/install-deps test installs it)"; }

# The version a build's version file holds.
version_in() {
  local v
  v=$(sed -n 's/^set(TESTNUV_VERSION "\(.*\)")$/\1/p' "$1" 2>/dev/null)
  [ -n "$v" ] || fail "no version in $1"
  echo "$v"
}

# The one package in DIR.
package_in() {
  local debs=("$1"/testnuv_*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one testnuv_*.deb in $1"
  echo "${debs[0]}"
}

# testnuv answers --version and --help without starting the experiment.
answers() {
  local program=$1 version out
  version=$(version_in "$2") || exit 1
  out=$(DISPLAY= WAYLAND_DISPLAY= "$program" --version) || fail "--version exit status $?"
  [ "$out" = "testnuv $version" ] || fail "--version printed '$out', not 'testnuv $version'"
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

reproducible() {
  local config=$1 epoch deb
  need dpkg-deb
  epoch=$(sed -n 's/^set(TESTNUV_SOURCE_DATE_EPOCH "\(.*\)")$/\1/p' "$2")
  [ -n "$epoch" ] || fail "no commit time in $2"
  work=$(mktemp -d "${TMPDIR:-/tmp}/testnuv-reproducible.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  env -u SOURCE_DATE_EPOCH cpack -G DEB --config "$config" -B "$work/one" >"$work/one.log" 2>&1 ||
    { cat "$work/one.log"; fail "first cpack failed"; }
  # The second build finds the packed texts made anew, a second later.
  sleep 1
  touch "$(dirname "$config")"/packaging/*.gz "$(dirname "$config")"/packaging/man/*.gz \
        "$(dirname "$config")"/packaging/*.xml
  env -u SOURCE_DATE_EPOCH cpack -G DEB --config "$config" -B "$work/two" >"$work/two.log" 2>&1 ||
    { cat "$work/two.log"; fail "second cpack failed"; }
  deb=$(package_in "$work/one")
  cmp "$deb" "$(package_in "$work/two")" || fail "two packings of one build differ"
  local newest
  newest=$(dpkg-deb --fsys-tarfile "$deb" | tar -tv --full-time | awk '{ print $4 "T" $5 }' | sort | tail -1)
  [ "$(date -u -d "${newest/T/ }" +%s)" -le "$epoch" ] || fail "a file of the package is dated $newest, after the commit"
  echo "PASS: two packings give the same $(basename "$deb") ($(stat -c %s "$deb") bytes, files dated $newest)"
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

# The options (--long and -x) a --help text offers: the names at the start of its
# option lines ("  --seed S   ...", "  -h,--help   ...").
options_in() {
  sed -n 's/^ \{1,4\}\(-[^ ]*\).*/\1/p' <<<"$1" | grep -oE -- '--?[A-Za-z][A-Za-z0-9-]*' | sort -u
}

pages() {
  local mandir=$1 program name page text options help sub opt section checked=0
  shift
  need man
  work=$(mktemp -d "${TMPDIR:-/tmp}/testnuv-pages.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  for program in "$@"; do
    name=$(basename "$program")
    page=$mandir/$name.1.gz
    [ -f "$page" ] || fail "no manual page $page"
    render_page "$page" "$name"
    text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l -P cat "$page" 2>/dev/null)
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES "SEE ALSO"; do
      grep -q "^$section\$" <<<"$text" || fail "$name(1) has no $section section"
    done
    # What man -k and whatis show: the NAME line, read as written.
    local whatis
    whatis=$(lexgrog "$page") || fail "lexgrog cannot read the NAME of $name(1)"
    [[ "$whatis" == *"\"$name - "* && "$whatis" != *'\'* && "$whatis" != *'[u'* ]] ||
      fail "$name(1) gives the index the line $whatis"
    options=$(sed -n '/^OPTIONS$/,/^EXIT STATUS$/p' <<<"$text")
    help=$("$program" --help) || fail "$name --help failed"
    # The subcommands a --help lists, each with its own options.
    local subs
    subs=$(sed -n '/^Subcommands:$/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' <<<"$help")
    for sub in "" $subs; do
      if [ -n "$sub" ]; then
        help=$("$program" "$sub" --help) || fail "$name $sub --help failed"
        grep -q "^ *$name $sub\$" <<<"$options" || fail "$name(1) has no options of $sub"
      fi
      for opt in $(options_in "$help"); do
        grep -qE -- "(^|[ ,])$opt([ ,=[{]|\$)" <<<"$options" ||
          fail "$name(1) does not give $opt of '$name${sub:+ $sub} --help' among its options"
        checked=$((checked + 1))
      done
    done
  done
  echo "PASS: $# pages have every section and the $checked options of their programs' --help"
}

# The libraries compiled into the programs and their licences' short names; the Windows
# programs also carry mingw-w64's winpthreads.
LIBRARIES=("CLI11:BSD-3-clause" "nlohmann-json:Expat" "Boost.Math:BSL-1.0" "dygraphs:Expat")
WINDOWS_LIBRARIES=("winpthreads:Expat")

licences() {
  local file=$1 windows=${2:-} text entry library licence name
  [ -s "$file" ] || fail "no copyright file $file"
  text=$(tr -d '\r' <"$file")
  local libraries=("${LIBRARIES[@]}")
  [ "$windows" = windows ] && libraries+=("${WINDOWS_LIBRARIES[@]}")
  for entry in "${libraries[@]}"; do
    library=${entry%%:*}
    licence=${entry#*:}
    # A Files paragraph that names the library and gives its licence.
    awk -v RS= -v lib="$library" -v lic="$licence" '
      /^Files:/ && index($0, lib) {
        if (match($0, /\nLicense: [^\n]*/)) {
          n = split(substr($0, RSTART + 10, RLENGTH - 10), names, / (and|or) /)
          for (i = 1; i <= n; i++) if (names[i] == lic) found = 1
        }
      }
      END { exit !found }' <<<"$text" || fail "$(basename "$file") has no paragraph for $library under $licence"
  done
  # Every licence named in a Files paragraph has its text in a paragraph of its own.
  for name in $(awk -v RS= '/^Files:/ && match($0, /\nLicense: [^\n]*/) {
                  print substr($0, RSTART + 10, RLENGTH - 10) }' <<<"$text" | sed 's/ and / /g; s/ or / /g'); do
    awk -v RS= -v name="$name" 'index($0, "License: " name "\n ") == 1 { found = 1 } END { exit !found }' \
      <<<"$text" || fail "$(basename "$file") names $name without its text"
  done
  echo "PASS: $(basename "$file") names ${#libraries[@]} libraries with their licences and holds every licence text"
}

unpacked() {
  local dir=$1 version built_sim=$3
  version=$(version_in "$2") || exit 1
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

  # The package, the unpacked programs and the provenance record carry the build's
  # version; the unpacked simulator writes the very log that the built one writes, and
  # the unpacked study tool finds it right.
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] ||
    fail "the package's version is $(dpkg-deb -f "$deb" Version), the build's $version"
  [ "$(basename "$deb")" = "testnuv_${version}_amd64.deb" ] || fail "the package is named $(basename "$deb")"
  zcat "$root/usr/share/doc/testnuv/changelog.gz" | head -1 | grep -qF "testnuv ($version)" ||
    fail "the changelog's first entry is not $version"
  for p in testnuv testnuv-sim testnuv-study; do
    [ -x "$root/usr/bin/$p" ] || fail "the package has no /usr/bin/$p"
    [ "$("$root/usr/bin/$p" --version)" = "$p $version" ] || fail "unpacked $p --version"
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
  grep -qF "\"version\": \"$version\"" "$log.json" || fail "the provenance record does not say version $version"
  echo "PASS: package, programs, changelog and provenance record: version $version"
  local study=$root/usr/bin/testnuv-study
  if [ -x "$study" ]; then
    "$study" verify "$log" >"$work/verify.out" 2>&1 || { cat "$work/verify.out"; fail "unpacked testnuv-study verify"; }
    "$study" extract "$log" --out "$work/data" >"$work/extract.out" 2>&1 ||
      { cat "$work/extract.out"; fail "unpacked testnuv-study extract"; }
    (cd "$work/data" && sha256sum --quiet -c SHA256SUMS) || fail "the data folder's SHA256SUMS do not hold"
    "$study" verify "$work/data" >>"$work/verify.out" 2>&1 ||
      { cat "$work/verify.out"; fail "unpacked testnuv-study verify of the data folder"; }
    echo "PASS: unpacked testnuv-study verify and extract: $(tr '\n' ' ' <"$work/verify.out")"
    # The report carries dygraphs' licence line.
    "$study" analyze "$work/data" --out "$work/report" --quiet >"$work/analyze.out" 2>&1 ||
      { cat "$work/analyze.out"; fail "unpacked testnuv-study analyze"; }
    grep -q '@license https://github.com/danvk/dygraphs/.* (MIT)' "$work/report/report.html" ||
      fail "report.html does not carry dygraphs' licence line"
    echo "PASS: report.html carries dygraphs' licence line"
  fi
  licences "$root/usr/share/doc/testnuv/copyright"

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
  # When ~/testnuv is a file, a click on the menu entry shows why in a window.
  rm -rf "$home/testnuv"
  touch "$home/testnuv"
  mkdir "$work/stubs"
  printf '#!/bin/sh\necho "$*" >>"%s"\n' "$work/xmessage.said" >"$work/stubs/xmessage"
  chmod +x "$work/stubs/xmessage"
  out=$(cd / && env DISPLAY=:99 HOME="$home" LANG=C PATH="$work/stubs:$root/usr/bin:$PATH" \
        "$root/usr/libexec/testnuv/start-in-folder" 2>&1) && fail "start-in-folder with ~/testnuv a file exits 0"
  grep -q "cannot use the folder $home/testnuv" "$work/xmessage.said" 2>/dev/null ||
    fail "start-in-folder showed no window for ~/testnuv as a file: $out"
  echo "PASS: start-in-folder with ~/testnuv a file ends with 1 and shows: $(cat "$work/xmessage.said")"

  # The desktop entries, the AppStream record, the documents and the programs follow
  # Debian's conventions.
  need desktop-file-validate
  need appstreamcli
  desktop-file-validate "$root/usr/share/applications/testnuv.desktop" \
    "$root/usr/share/doc/testnuv/examples/testnuv-autostart.desktop" || fail "desktop-file-validate"
  grep -q '^Name\[es\]=' "$root/usr/share/applications/testnuv.desktop" || fail "the desktop entry has no Spanish name"
  local metainfo=$root/usr/share/metainfo/org.example.testnuv.metainfo.xml
  appstreamcli validate --no-net --pedantic "$metainfo" >"$work/appstream.out" 2>&1 ||
    { cat "$work/appstream.out"; fail "appstreamcli validate rejects $metainfo"; }
  grep -qF "<release version=\"$version\"" "$metainfo" || fail "the metainfo's release is not $version"
  echo "PASS: desktop-file-validate and appstreamcli validate --pedantic accept the entries and the metainfo"
  [ -f "$root/usr/share/doc/testnuv/README.gz" ] && [ ! -e "$root/usr/share/doc/testnuv/README.md" ] ||
    fail "the doc folder does not hold the user's guide as README.gz alone"
  ! zgrep -qE 'build/testnuv|make (test|package)' "$root/usr/share/doc/testnuv/README.gz" ||
    fail "the installed README tells of the build tree"
  for p in "${programs[@]}"; do
    readelf -S "$root/usr/bin/$p" | grep -q '\.comment' && fail "/usr/bin/$p keeps its .comment section"
  done
  echo "PASS: the user's guide as README.gz; no program keeps a .comment section"

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
  reproducible) reproducible "$2" "$3" ;;
  lintian) run_lintian "$2" ;;
  pages) shift; pages "$@" ;;
  licences) licences "$2" "${3:-}" ;;
  unpacked) shift; unpacked "$@" ;;
  *) fail "unknown case '${1:-}'" ;;
esac
