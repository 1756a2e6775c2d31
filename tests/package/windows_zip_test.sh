#!/bin/bash
# The Windows zip: build it from the cross build, check its texts (the user's guide,
# the licence, the notices of the libraries compiled in), unpack it, and run what it
# holds under Wine (console programs, so no display is needed): the programs
# answer --version, testnuv-sim.exe writes, byte for byte, the study log and the
# per-second data (--data) that the Linux simulator writes for the same seed and
# start, and a picture (--png, through WIC) with the Linux one's pixels, and testnuv-study.exe verifies that log and extracts from it the
# per-second data that the Linux tool extracts, with the same SHA-256 sums
# (Windows CNG against libcrypto). The zip is unpacked into a folder named
# "José/año", the programs are started by their full path, and they write into
# folders named with an accent, the euro sign and an emoji, as a Spanish
# user's machine has them.
#
# Usage: windows_zip_test.sh CPACK_CONFIG LINUX_SIM LINUX_STUDY GUIDE
# Exit code 77 (skipped) when Wine is not installed.
set -u

config=$1
linux_sim=$2
linux_study=$3
guide=$4

fail() { echo "FAIL: $*"; exit 1; }
command -v wine >/dev/null 2>&1 || { echo "wine is not installed: skipped"; exit 77; }
[ -f "$config" ] || fail "$config is missing (build the Windows programs with 'make windows')"

work=$(mktemp -d "${TMPDIR:-/tmp}/testnuv-zip.XXXXXX")
cleanup() {
  if [ -d "$work/prefix" ]; then WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

cpack -G ZIP --config "$config" -B "$work/zip" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
# The version of the Windows build, as cmake/version.cmake wrote it for cpack.
version=$(sed -n 's/^set(TESTNUV_VERSION "\(.*\)")$/\1/p' "$(dirname "$config")/version-info.cmake")
[ -n "$version" ] || fail "no version-info.cmake beside $config"
zip_file=$work/zip/testnuv-$version-windows-x86_64.zip
[ -f "$zip_file" ] || fail "no $(basename "$zip_file")"
unpacked="$work/José/año"
mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$zip_file") || fail "cannot unpack $zip_file"
dir=$unpacked/testnuv-$version-windows-x86_64
for f in testnuv.exe testnuv-sim.exe testnuv-study.exe README.txt LICENSE.txt THIRD-PARTY.txt; do
  [ -f "$dir/$f" ] || fail "$f is not in the zip"
done
# The texts have Windows line ends, every one; README.txt is the user's guide.
for f in README.txt LICENSE.txt THIRD-PARTY.txt; do
  [ "$(grep -c $'\r$' "$dir/$f")" -eq "$(wc -l <"$dir/$f")" ] || fail "$f has lines without CR LF"
done
cmp <(tr -d '\r' <"$dir/README.txt") "$guide" || fail "README.txt is not the user's guide"
echo "PASS: $(basename "$zip_file") holds $(cd "$dir" && ls | tr '\n' ' ')"
"$(dirname "$0")/package_test.sh" licences "$dir/THIRD-PARTY.txt" windows || exit 1

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
timeout 300 wine wineboot -i >/dev/null 2>&1 || fail "wineboot did not finish"

# Run a program of the zip, by its full path, in its folder; Windows line ends are taken off
# its output.
run_exe() {
  local program=$1
  shift
  (cd "$dir" && timeout 300 wine "$dir/$program" "$@" 2>"$work/wine.err" | tr -d '\r')
}

for program in testnuv testnuv-sim testnuv-study; do
  out=$(run_exe "$program.exe" --version) || fail "$program.exe --version: $(cat "$work/wine.err")"
  [ "$out" = "$program $version" ] || fail "$program.exe --version printed '$out', not '$program $version'"
  echo "PASS: $out"
done

args=(--seconds 1801 --seed 7 --start "2026-03-01 10:00:00")
run="run_ñ€😀"
mkdir "$dir/$run" "$work/linux"
run_exe testnuv-sim.exe "${args[@]}" --dir "$run" --data "simdatos_año" --png "pantalla_ñ.png" >"$work/sim.out" ||
  { cat "$work/sim.out" "$work/wine.err"; fail "testnuv-sim.exe failed"; }
"$linux_sim" "${args[@]}" --dir "$work/linux" --data "$work/linux/simdatos" --png "$work/linux/pantalla.png" \
  >/dev/null 2>&1 || fail "the Linux simulator failed"
log=estudio_03-01-2026
[ -s "$dir/$run/$log" ] || fail "testnuv-sim.exe wrote no study log in $run"
cmp "$dir/$run/$log" "$work/linux/$log" || fail "testnuv-sim.exe's log differs from the Linux one"
echo "PASS: testnuv-sim.exe wrote the Linux simulator's log byte for byte ($(grep -c . "$dir/$run/$log") lines)"
for json in "$dir/$run/$log.json" "$dir/simdatos_año/provenance.json"; do
  /usr/bin/python3 -m json.tool "$json" >/dev/null || fail "$json is not valid JSON"
done
grep -q '"log_path": ".*José\\\\año.*run_ñ€😀' "$dir/simdatos_año/provenance.json" ||
  fail "the data folder does not name its log's folder with its letters: $(grep log_path "$dir/simdatos_año/provenance.json")"
for file in seconds.csv bits.bin; do
  cmp "$dir/simdatos_año/$file" "$work/linux/simdatos/$file" ||
    fail "testnuv-sim.exe --data: $file differs from the Linux simulator's"
done
echo "PASS: testnuv-sim.exe --data wrote the Linux simulator's seconds.csv and bits.bin"
# The picture: encoded by WIC on Windows, by libpng on Linux; the same pixels.
command -v convert >/dev/null 2>&1 || fail "convert is missing (tools/install-deps installs imagemagick)"
[ "$(identify -format '%w %h %[channels]' "$dir/pantalla_ñ.png")" = "800 600 srgb" ] ||
  fail "testnuv-sim.exe --png wrote $(identify "$dir/pantalla_ñ.png" 2>&1)"
convert "$dir/pantalla_ñ.png" -depth 8 "rgb:$work/windows.rgb" && convert "$work/linux/pantalla.png" -depth 8 "rgb:$work/linux.rgb" ||
  fail "the pictures cannot be read"
cmp -s "$work/windows.rgb" "$work/linux.rgb" || fail "testnuv-sim.exe --png: the pixels differ from the Linux picture's"
echo "PASS: testnuv-sim.exe --png wrote the Linux simulator's picture, pixel for pixel ($(stat -c %s "$dir/pantalla_ñ.png") bytes)"

# The study tool on that log, beside the Linux one.
out=$(run_exe testnuv-study.exe verify "$run\\$log") ||
  { cat "$work/wine.err"; fail "testnuv-study.exe verify: $out"; }
echo "PASS: testnuv-study.exe verify: $out"
out=$(run_exe testnuv-study.exe extract "$run\\$log" --out "datos_€") ||
  { cat "$work/wine.err"; fail "testnuv-study.exe extract: $out"; }
"$linux_study" extract "$work/linux/$log" --out "$work/linux/datos" >/dev/null 2>&1 ||
  fail "the Linux testnuv-study extract failed"
cmp "$dir/datos_€/seconds.csv" "$work/linux/datos/seconds.csv" ||
  fail "testnuv-study.exe's seconds.csv differs from the Linux tool's"
grep ' seconds.csv$' "$dir/datos_€/SHA256SUMS" | tr -d '\r' >"$work/sum.windows"
grep ' seconds.csv$' "$work/linux/datos/SHA256SUMS" >"$work/sum.linux"
[ -s "$work/sum.linux" ] && cmp -s "$work/sum.windows" "$work/sum.linux" ||
  fail "the SHA-256 of seconds.csv differs: $(cat "$work/sum.windows") against $(cat "$work/sum.linux")"
/usr/bin/python3 -m json.tool "$dir/datos_€/provenance.json" >/dev/null || fail "datos_€/provenance.json is not valid JSON"
out=$(run_exe testnuv-study.exe verify "datos_€") ||
  { cat "$work/wine.err"; fail "testnuv-study.exe verify of its data folder: $out"; }
echo "PASS: testnuv-study.exe extract: seconds.csv and its SHA-256 equal the Linux tool's; $out"
