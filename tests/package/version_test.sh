#!/bin/bash
# The build's version (cmake/version.cmake) on throwaway repositories: every commit
# gives a version that dpkg orders after the one before (also from commit 9 to 10, and
# among commits of the same second), uncommitted changes are marked and sort after
# their commit, and a tree without .git (a source tarball, even one unpacked inside
# another checkout) gets the project version alone.
#
# Usage: version_test.sh VERSION_SCRIPT PROJECT_VERSION
set -u
script=$1
base=$2

fail() { echo "FAIL: $*"; exit 1; }
command -v dpkg >/dev/null 2>&1 || fail "dpkg is missing"
command -v git >/dev/null 2>&1 || fail "git is missing (tools/install-deps installs it)"
work=$(mktemp -d "${TMPDIR:-/tmp}/testnuv-version.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The version text written for the tree $1, checked to be the same in both outputs.
version_of() {
  rm -f "$work/version.cpp" "$work/info.cmake"
  cmake -DSOURCE_DIR="$1" -DPROJECT_VERSION="$base" -DOUTPUT="$work/version.cpp" \
        -DINFO="$work/info.cmake" -P "$script" >"$work/cmake.log" 2>&1 ||
    { cat "$work/cmake.log" >&2; fail "version.cmake failed on $1"; }
  local cpp info
  cpp=$(sed -n 's/.*version_text() { return "\(.*\)"; }/\1/p' "$work/version.cpp")
  info=$(sed -n 's/^set(TESTNUV_VERSION "\(.*\)")$/\1/p' "$work/info.cmake")
  [ -n "$cpp" ] && [ "$cpp" = "$info" ] || fail "version.cpp says '$cpp', the packaging info '$info'"
  dpkg --validate-version "$cpp" 2>/dev/null || fail "'$cpp' is not a Debian version"
  echo "$cpp"
}

# A repository of one file; commits all carry the same date.
export GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@example.org GIT_COMMITTER_NAME=t GIT_COMMITTER_EMAIL=t@example.org
export GIT_AUTHOR_DATE="2026-01-01T00:00:00Z" GIT_COMMITTER_DATE="2026-01-01T00:00:00Z"
repo=$work/repo
mkdir -p "$repo/tarball"
git -C "$repo" init -q
commit() { echo "$1" >"$repo/file"; git -C "$repo" add file; git -C "$repo" commit -qm "$1"; }

previous=$base
for i in $(seq 1 10); do
  commit "$i"
  v=$(version_of "$repo") || exit 1
  hash=$(git -C "$repo" rev-parse --short=7 HEAD)
  [[ "$v" == "$base+git$i.$hash"* ]] || fail "commit $i ($hash) gave '$v'"
  dpkg --compare-versions "$previous" lt "$v" || fail "'$previous' does not sort before '$v'"
  previous=$v
done
echo "PASS: ten commits of the same second sort in order, last $previous"

echo changed >"$repo/file"
v=$(version_of "$repo") || exit 1
[ "$v" = "$previous.dirty" ] || fail "an uncommitted change gave '$v'"
dpkg --compare-versions "$previous" lt "$v" || fail "'$v' does not sort after '$previous'"
commit 11
v11=$(version_of "$repo") || exit 1
dpkg --compare-versions "$v" lt "$v11" || fail "'$v' does not sort before the next commit's '$v11'"
echo "PASS: $v sorts between its commit and the next, $v11"

# A tarball: no .git of its own, unpacked inside a checkout with commits.
echo x >"$repo/tarball/CMakeLists.txt"
v=$(version_of "$repo/tarball") || exit 1
[ "$v" = "$base" ] || fail "a tree without .git inside a checkout gave '$v', not '$base'"
dpkg --compare-versions "$v" lt "$v11" || fail "'$v' does not sort before '$v11'"
echo "PASS: without .git: $v"
