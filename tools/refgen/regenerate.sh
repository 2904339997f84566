#!/usr/bin/env bash
# Rebuilds the geographic tables of refdata/ from es-atlas 0.6.0. Run by hand; the outputs
# are committed and neither the build nor the tests run this.
# Needs npm, cmake, g++, qt6-base-dev and libgeographiclib-dev.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
refdata=$(cd "$here/../../refdata" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$work" && npm pack --silent es-atlas@0.6.0 >/dev/null)
# The package as it was when the committed tables were made.
echo "4c926d9cba69bb129a148ad251adcd6c73ff01de  $work/es-atlas-0.6.0.tgz" | sha1sum --check --quiet
tar -xzf "$work/es-atlas-0.6.0.tgz" -C "$work"

cmake -S "$here" -B "$work/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/build" --parallel >/dev/null
"$work/build/refgen" "$work/package/es/municipalities.json" "$refdata"
"$work/build/refgen" --contornos "$work/package/es/municipalities.json" "$refdata"
"$work/build/refgen" --municipios "$work/package/es/municipalities.json" "$refdata"
