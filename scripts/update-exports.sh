#!/usr/bin/env bash
# The list of symbols the shared library exports, library/zorvik.exports: what hosts can link
# against. Run this deliberately, after a change to the public surface, to regenerate the list
# from a release build (build it first: cmake --build --preset release), and commit the diff
# with the change. The release build's CTest compares the list with the library (--check).
#
# The list is demangled, sorted bytewise and without addresses. Instantiations of the C++
# standard library's templates (std::, __gnu_cxx::) that the library happens to export are
# left out: they follow from internal code, not from the surface, and would turn every
# internal change into a list change.
#
# Usage: scripts/update-exports.sh [LIBRARY [LIST]]
#        scripts/update-exports.sh --check LIBRARY LIST
# NM and CXXFILT name the tools when they are not the ones on the path.
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
fi
library=${1:-build/release/lib/libzorvik.so}
list=${2:-library/zorvik.exports}
nm=${NM:-nm}
cxxfilt=${CXXFILT:-c++filt}

# Mangled names of entities in namespace std (St, or the abbreviations Sa, Sb, Ss, Si, So, Sd)
# or __gnu_cxx, also as vtables, typeinfo, guard variables and function-local statics.
std_names='^_Z(T[VIS]|GV)?Z?N?[KVr]*(St|S[abiosd]|9__gnu_cxx)'

exported() {
  "$nm" -D --defined-only "$library" | awk '{ print $NF }' | grep -Ev "$std_names" | "$cxxfilt" | LC_ALL=C sort -u
}

header() {
  echo "# Symbols libzorvik.so exports, one a line (demangled, sorted; standard-library template"
  echo "# instantiations left out). Regenerate with scripts/update-exports.sh after a deliberate"
  echo "# change to the public surface; the release build's tests compare it with the library."
}

if [ ! -f "$library" ]; then
  echo "no library at $library: build the release configuration first" >&2
  exit 2
fi
if [ "$check" = 1 ]; then
  if ! diff -u --label "$list (committed)" --label "$library (built)" <(grep -v '^#' "$list") <(exported); then
    echo "The library's exports differ from $list (- committed, + built)."
    echo "If the change is deliberate, run scripts/update-exports.sh and commit the list."
    exit 1
  fi
  echo "$(grep -vc '^#' "$list") exported symbols, as listed in $list"
  exit 0
fi
{ header; exported; } > "$list"
echo "wrote $(grep -vc '^#' "$list") symbols to $list"
