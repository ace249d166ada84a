#!/bin/sh
# scripts/check-layering on a small tree of its own: a clean tree passes, and
# each wrong include below fails it however it is written.
# Usage: check_layering_test.sh SOURCE_DIR
set -eu
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_tree() {
  rm -rf "$work/tree"
  mkdir -p "$work/tree/scripts" "$work/tree/src/model" "$work/tree/src/session" "$work/tree/tools/sim"
  cp "$source_dir/scripts/check-layering" "$source_dir/scripts/layers.txt" "$work/tree/scripts/"
  printf '#include "gamedata/weapon_tables.h"\n#include "model/world.h"\n' >"$work/tree/src/model/world.cc"
  printf '#include "model/world.h"\n' >"$work/tree/src/session/loop.cc"
  printf '#include "protocol/wire.h"\n#include "platform/clock.h"\n#include "sim/endpoint.h"\n' \
    >"$work/tree/tools/sim/endpoint.cc"
  # Tests may use anything.
  printf '#include "session/loop.h"\n' >"$work/tree/src/model/world_test.cc"
}

failures=0
make_tree
if ! sh "$work/tree/scripts/check-layering" >"$work/out" 2>&1; then
  echo "FAIL: a clean tree was refused:"; cat "$work/out"
  failures=$((failures + 1))
fi

# Each case: the file, the line written into it, a text the refusal names.
while IFS='|' read -r file line expected; do
  make_tree
  printf '%s\n' "$line" >>"$work/tree/$file"
  if sh "$work/tree/scripts/check-layering" >"$work/out" 2>&1; then
    echo "FAIL: $file with '$line' passed"
    failures=$((failures + 1))
  elif ! grep -qF "$expected" "$work/out"; then
    echo "FAIL: $file with '$line' was refused without naming '$expected':"; cat "$work/out"
    failures=$((failures + 1))
  fi
done <<'CASES'
src/model/world.cc|#include "session/loop.h"|model/ must not include session/
src/model/world.cc|  #include "session/loop.h"|model/ must not include session/
src/model/world.cc|#  include "context/session_context.h"|model/ must not include context/
src/model/world.cc|#include "session/loop.h"  // why not|model/ must not include session/
src/model/world.cc|#include "../session/loop.h"|a path out of its folder
src/model/world.cc|#include "gadgets/view.h"|no place in the layering
src/session/loop.cc|#include "app/options.h"|session/ must not include app/
tools/sim/endpoint.cc|#include "protocol/dispatch.h"|may not include protocol/dispatch.h
tools/sim/endpoint.cc|	#include "script/lua.h" /* host */|may not include script/lua.h
tools/sim/endpoint.cc|#include "storage/database.h"|may not include storage/database.h
CASES

if [ "$failures" -ne 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "check-layering: every wrong include refused"
