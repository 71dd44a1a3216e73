#!/usr/bin/env bash
# Damaged games that are not a start.nut (tests/scripts covers those): archives given as the
# game, and runtimes whose linked block has a damaged trailer. Each case checks the exit
# status, the output and, for refusals, the message on standard error.
#
# usage: run.sh QUILLORANE QLAPACK
# Prints one line per failure and ends with "N passed, N failed".
set -u
bin=$(realpath "$1")
pack=$(realpath "$2")
tmp=$(mktemp -d "${TMPDIR:-/tmp}/qldamaged.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
passed=0
failed=0

# check NAME WANT_STATUS WANT_STDOUT WANT_STDERR_PART -- COMMAND...
check() {
  local name=$1 want=$2 stdout=$3 stderr=$4
  shift 5
  local out err rc
  out=$(cd "$tmp" && timeout 60 "$@" 2> "$tmp/stderr" < /dev/null)
  rc=$?
  err=$(cat "$tmp/stderr")
  local problems=()
  [ "$rc" -ne "$want" ] && problems+=("exit status $rc, expected $want")
  [ "$out" != "$stdout" ] && problems+=("stdout '$out', expected '$stdout'")
  if [ -n "$stderr" ]; then
    grep -qF -- "$stderr" "$tmp/stderr" || problems+=("stderr lacks '$stderr': $(head -c 300 "$tmp/stderr")")
  fi
  if [ ${#problems[@]} -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $name: ${problems[*]}"
  fi
}

# Writes a 32-bit little-endian value at an offset from the end of a file.
poke32() {
  local file=$1 from_end=$2 value=$3 size
  size=$(stat -c %s "$file")
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((value & 255)) $((value >> 8 & 255)) \
    $((value >> 16 & 255)) $((value >> 24 & 255)))" |
    dd of="$file" bs=1 seek=$((size - from_end)) conv=notrunc status=none
}

# A small game, packed with the runtime's password and with another one.
mkdir -p "$tmp/src"
: > "$tmp/src/setup.nut"
echo 'print("packed\n");' > "$tmp/src/start.nut"
"$pack" pack "$tmp/good.qla" "$tmp/src" > /dev/null 2>&1 || { echo "FAIL qlapack pack"; exit 1; }
"$pack" pack "$tmp/other.qla" "$tmp/src" --password not-the-one > /dev/null 2>&1 || { echo "FAIL qlapack pack"; exit 1; }

# Archives given as the game, each alone in its folder. Only the header decides whether the
# archive opens: one cut inside its header, empty, garbage or made with another password is
# refused; one cut after its header opens with the entries whose records are whole (none when
# the first record is cut, so there is no setup.nut), and an entry whose data is cut short
# is not read at all (rather than read padded), so that start.nut is missing.
given() {
  mkdir -p "$tmp/given/$1"
  echo "$tmp/given/$1/$1.qla"
}
cp "$tmp/good.qla" "$(given good)"
check archive_good 0 "packed" "" -- "$bin" --headless --virtual-clock "$tmp/given/good/good.qla"
: > "$(given empty)"
check archive_empty 1 "" "is not an archive of this runtime" -- "$bin" --headless --virtual-clock "$tmp/given/empty/empty.qla"
cp "$tmp/other.qla" "$(given other)"
check archive_password 1 "" "is not an archive of this runtime" -- "$bin" --headless --virtual-clock "$tmp/given/other/other.qla"
head -c 2000 /dev/urandom > "$(given garbage)"
check archive_garbage 1 "" "is not an archive of this runtime" -- "$bin" --headless --virtual-clock "$tmp/given/garbage/garbage.qla"
size=$(stat -c %s "$tmp/good.qla")
for cut in 1 16 24; do
  head -c "$cut" "$tmp/good.qla" > "$(given cut$cut)"
  check "archive_cut_$cut" 1 "" "is not an archive of this runtime" -- "$bin" --headless --virtual-clock "$tmp/given/cut$cut/cut$cut.qla"
done
head -c 40 "$tmp/good.qla" > "$(given cut40)"
check archive_cut_40 1 "" "no setup.nut in the game" -- "$bin" --headless --virtual-clock "$tmp/given/cut40/cut40.qla"
head -c $((size - 1)) "$tmp/good.qla" > "$(given cutlast)"
check archive_cut_last 1 "" "no start.nut in the game" -- "$bin" --headless --virtual-clock "$tmp/given/cutlast/cutlast.qla"

# Damaged archives beside a game are skipped; a whole one beside them still serves its files.
mkdir -p "$tmp/beside/game" "$tmp/beside/hidden" "$tmp/beside/shown"
echo 'return "hidden";' > "$tmp/beside/hidden/hidden.nut"
echo 'return "from the archive";' > "$tmp/beside/shown/shown.nut"
"$pack" pack "$tmp/beside/game/1.qla" "$tmp/beside/hidden" --password not-the-one > /dev/null 2>&1
"$pack" pack "$tmp/beside/game/data.qla" "$tmp/beside/shown" > /dev/null 2>&1
: > "$tmp/beside/game/0.qla"
head -c $((size / 2)) "$tmp/good.qla" > "$tmp/beside/game/2.qla"
head -c 3000 /dev/urandom > "$tmp/beside/game/3.qla"
: > "$tmp/beside/game/setup.nut"
cat > "$tmp/beside/game/start.nut" <<'NUT'
function err(f) { try { return f(); } catch (e) return e; }
print(err(@() exec("hidden.nut")) + "; " + exec("shown.nut") + "\n");
NUT
check archives_beside 0 "script 'hidden.nut' is not found; from the archive" "" -- \
  "$bin" --headless --virtual-clock "$tmp/beside/game"

# A runtime with a linked block: the block's start.nut runs; with a damaged trailer the block
# is absent and the loose start.nut beside the runtime runs instead.
linked() {
  local name=$1
  mkdir -p "$tmp/$name"
  "$pack" link "$bin" "$tmp/good.qla" "$tmp/$name/quillorane" > /dev/null 2>&1 || echo "FAIL qlapack link"
  chmod +x "$tmp/$name/quillorane"
  : > "$tmp/$name/setup.nut"
  echo 'print("loose\n");' > "$tmp/$name/start.nut"
  echo "$tmp/$name/quillorane"
}
exe=$(linked intact)
check linked_intact 0 "packed" "" -- "$exe" --headless --virtual-clock
exe=$(linked magic)
printf 'X' | dd of="$exe" bs=1 seek=$(($(stat -c %s "$exe") - 1)) conv=notrunc status=none
check linked_magic 0 "loose" "" -- "$exe" --headless --virtual-clock
exe=$(linked offset_past_end)
poke32 "$exe" 40 $((0xFFFFFFF0))
check linked_offset_past_end 0 "loose" "" -- "$exe" --headless --virtual-clock
exe=$(linked size_past_end)
poke32 "$exe" 36 $((0xFFFFFFFF))
check linked_size_past_end 0 "loose" "" -- "$exe" --headless --virtual-clock
exe=$(linked size_zero)
poke32 "$exe" 36 0
check linked_size_zero 0 "loose" "" -- "$exe" --headless --virtual-clock
exe=$(linked not_an_archive)
poke32 "$exe" 40 0
poke32 "$exe" 36 4096
check linked_not_an_archive 0 "loose" "" -- "$exe" --headless --virtual-clock
exe=$(linked half_block)
poke32 "$exe" 36 $((size / 2))
check linked_half_block 0 "loose" "" -- "$exe" --headless --virtual-clock

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
