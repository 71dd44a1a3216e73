#!/usr/bin/env bash
# Checks `quillorane --dump-api` and the reference checker of scripts/gen-api-docs.py.
#
# usage: api_dump_test.sh QUILLORANE
#
# The dump must be stable, sorted path by path, and read from the live VM: overloads folded
# with their argument counts, properties from the property tables, enumerations with their
# values, prelude functions with their parameters, derived classes with their base, standard
# slots apart from the ones the runtime replaced. The checker must name a missing description,
# a stale one and an out-of-date page. Prints one line per failure; exit status 1 on any.
set -u
bin=$1
py=${PYTHON:-python3}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
tmp=$(mktemp -d "${TMPDIR:-/tmp}/qlapidump.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# --- the dump -----------------------------------------------------------------------------
"$bin" --dump-api >"$tmp/dump1" 2>"$tmp/err1" || fail "--dump-api exited with $? ($(head -c 300 "$tmp/err1"))"
"$bin" --dump-api >"$tmp/dump2" 2>/dev/null
cmp -s "$tmp/dump1" "$tmp/dump2" || fail "two dumps differ"
[ -s "$tmp/err1" ] && fail "--dump-api wrote to stderr: $(head -c 300 "$tmp/err1")"

# Lines that must appear exactly (one per behaviour of the dump).
while IFS= read -r line; do
  [ -z "$line" ] && continue
  grep -qxF -- "$line" "$tmp/dump1" || fail "missing dump line: $line"
done <<'EOF'
Graphics table
Graphics.Canvas class bound
Graphics.Canvas.drawImage method overloads(2,3,4,5,6,7)
Graphics.Canvas.drawLines method overloads(1,2,3)
Graphics.clearScreen function overloads(0,1)
Graphics.getScreenWidth function native(0)
Graphics.Effect2D table
Graphics.Effect2D.Alphamask class bound
Graphics.Blend enum
Graphics.Blend.ADD const 2
IO.Encoding.UTF8 const 2
IO.Encoding.SHIFTJIS const 1
IO.readTextFile function (path, encoding = 1)
Collision.Point.x property get set
Collision.Rectangle.bottom property get set
Math.toRadian function native(1)
Math.min function (...)
Math.range function (start, end, step = 1)
Input.Controller class script extends Input.Controller_
Input.Controller.clear method (key = null)
Input.keyboardTable__ value array(101)
Util.g_qlse_fps value instance Util.Fps
Util.serialize_reserved_ value table(35)
Log.Level enum
Log.Level.ERROR const 3
Log.g_outputPath value string "log.txt"
Graphics.g_screenCanvas value null
exit function (exit_code = 0)
print function (value)
squirrel_default_print__ function native(1)
qlse_exit_flag___ value bool false
DEBUG value bool false
QUILLORANE_VERSION const 110
SQUIRREL_VERSION const 304
sin std function
blob std class
EOF

# Binding details stay folded away; a derived class does not repeat what it inherits.
grep -n '__sqrat_ol_\|\.__getTable \|\.__setTable \|\._get \|\._set \|\.weakref ' "$tmp/dump1" | head -3 |
  while IFS= read -r l; do fail "binding detail listed: $l"; done
grep -q '^Input\.Controller\.update ' "$tmp/dump1" && fail "Input.Controller repeats the inherited update"
grep -q '^Input\.Controller\.x ' "$tmp/dump1" && fail "unexpected member"
grep -q '^print std' "$tmp/dump1" && fail "print, replaced by the prelude, is listed as standard"

# Sorted component by component, every line PATH KIND [DETAIL].
"$py" - "$tmp/dump1" <<'PY' || failed=1
import sys
lines = [l.rstrip("\n") for l in open(sys.argv[1], encoding="utf-8") if not l.startswith("#")]
keys = [l.split(" ")[0].split(".") for l in lines]
for i in range(1, len(keys)):
    if not keys[i - 1] < keys[i]:
        print("FAIL: dump not sorted at %r after %r" % (lines[i], lines[i - 1]))
        sys.exit(1)
bad = [l for l in lines if len(l.split(" ")) < 2]
if bad:
    print("FAIL: malformed dump line %r" % bad[0])
    sys.exit(1)
PY

"$bin" --dump-api somegame >/dev/null 2>&1
[ $? -eq 2 ] || fail "--dump-api with a game should be a usage error (status 2)"

# --- the checker on a copy of the reference -----------------------------------------------
gen="$root/scripts/gen-api-docs.py"
api="$tmp/api"
cp -r "$root/docs/api" "$api"
"$py" "$gen" --dump "$tmp/dump1" --api-dir "$api" >"$tmp/gen.out" 2>&1 || fail "generating from the dump: $(tail -3 "$tmp/gen.out")"
"$py" "$gen" --dump "$tmp/dump1" --api-dir "$api" --check >"$tmp/check.out" 2>&1 ||
  fail "a freshly generated reference does not pass --check: $(head -3 "$tmp/check.out")"

expect_problem() {  # expect_problem WHAT DUMP PATTERN
  if "$py" "$gen" --dump "$2" --api-dir "$api" --check >"$tmp/check.out" 2>&1; then
    fail "$1: --check passed"
  elif ! grep -qF -- "$3" "$tmp/check.out"; then
    fail "$1: --check did not say '$3': $(head -3 "$tmp/check.out")"
  fi
}
# A registered name without a description.
{ cat "$tmp/dump1"; echo "Math.hypot function (x, y)"; } | LC_ALL=C sort >"$tmp/added"
expect_problem "new function" "$tmp/added" "no description: Math.hypot (function)"
# A described name the runtime no longer has.
grep -v '^Graphics\.Canvas\.drawWorld ' "$tmp/dump1" >"$tmp/removed"
expect_problem "removed method" "$tmp/removed" "'Graphics.Canvas.drawWorld' is described but the runtime no longer has it"
# A changed signature leaves the committed page out of date.
sed 's/^Math\.range function .*/Math.range function (start, end)/' "$tmp/dump1" >"$tmp/changed"
expect_problem "changed signature" "$tmp/changed" "docs/api/Math.md is out of date"
# A description in the wrong table's file.
printf '\n## Audio.Sound.play\nmisplaced\n' >>"$api/descriptions/IO.md"
expect_problem "misplaced description" "$tmp/dump1" "'Audio.Sound.play' belongs in descriptions/Audio.md"

[ $failed -eq 0 ] && echo "api dump: all checks passed"
exit $failed
