#!/usr/bin/env bash
# Script-level tests: each NAME.nut here runs as the start.nut of a fresh headless game on the
# virtual clock, and what it prints must equal NAME.expected.
#
# usage: run.sh QUILLORANE [NAME...]
#
# Beside NAME.nut, optional files shape the game and what is checked:
#   NAME.setup    the game's setup.nut (default: an empty one; "#none" alone: no setup.nut)
#   NAME.files/   more files copied into the game folder
#   NAME.args     arguments given to the game after --, one per line
#   NAME.status   the exit status expected (default 0)
#   NAME.folder   the name of the game folder, with printf escapes (default: game)
#   NAME.errors   lines that must each appear in error.txt, or with a leading ! must not
#                 (no file: error.txt must not exist)
#   NAME.stderr   lines that must each appear in the runtime's standard error
#   NAME.options  more runtime options, one per line (before the game folder)
# When QL_TEST_PLUGIN_DIR is set, the plug-ins in it are copied into every game.
# A game that is not start.nut-driven (no NAME.nut) can be a folder NAME.game/ instead.
# Prints one line per failure and ends with "N passed, N failed".
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
bin=$1
shift
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for f in "$here"/*.nut "$here"/*.game; do
    [ -e "$f" ] || continue
    n=$(basename "$f"); n=${n%.nut}; n=${n%.game}
    names+=("$n")
  done
fi
tmp=$(mktemp -d "${TMPDIR:-/tmp}/qlscripts.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
passed=0
failed=0
for name in "${names[@]}"; do
  folder=game
  [ -f "$here/$name.folder" ] && folder=$(printf "$(cat "$here/$name.folder")")
  game=$tmp/$name/$folder
  mkdir -p "$game"
  if [ -d "$here/$name.game" ]; then
    cp -r "$here/$name.game/." "$game/"
  else
    cp "$here/$name.nut" "$game/start.nut"
  fi
  [ -d "$here/$name.files" ] && cp -r "$here/$name.files/." "$game/"
  [ -n "${QL_TEST_PLUGIN_DIR:-}" ] && cp "$QL_TEST_PLUGIN_DIR"/*.so "$game/" 2>/dev/null
  if [ -f "$here/$name.setup" ]; then
    if [ "$(cat "$here/$name.setup")" != "#none" ]; then cp "$here/$name.setup" "$game/setup.nut"; fi
  elif [ ! -f "$game/setup.nut" ]; then
    : > "$game/setup.nut"
  fi
  args=()
  if [ -f "$here/$name.args" ]; then
    while IFS= read -r line; do args+=("$line"); done < "$here/$name.args"
  fi
  options=()
  if [ -f "$here/$name.options" ]; then
    while IFS= read -r line; do options+=("$line"); done < "$here/$name.options"
  fi
  out=$tmp/$name/stdout
  (cd "$tmp/$name" && timeout 60 "$bin" --headless --virtual-clock --frames 600 "${options[@]}" "$game" -- "${args[@]}" \
      > "$out" 2> "$tmp/$name/stderr" < /dev/null)
  rc=$?
  problems=()
  want=0
  [ -f "$here/$name.status" ] && want=$(cat "$here/$name.status")
  [ "$rc" -ne "$want" ] && problems+=("exit status $rc, expected $want ($(head -c 300 "$tmp/$name/stderr"))")
  if [ -f "$here/$name.expected" ] && ! cmp -s "$here/$name.expected" "$out"; then
    problems+=("output differs: $(diff "$here/$name.expected" "$out" | head -5 | tr '\n' ' ')")
  fi
  if [ -f "$here/$name.stderr" ]; then
    while IFS= read -r line; do
      [ -z "$line" ] && continue
      grep -qF -- "$line" "$tmp/$name/stderr" || problems+=("stderr lacks '$line' ($(head -c 300 "$tmp/$name/stderr"))")
    done < "$here/$name.stderr"
  fi
  if [ -f "$here/$name.errors" ]; then
    if [ ! -f "$game/error.txt" ]; then
      problems+=("no error.txt")
    else
      while IFS= read -r line; do
        [ -z "$line" ] && continue
        if [ "${line:0:1}" = "!" ]; then
          iconv -f CP932 -t UTF-8 "$game/error.txt" | grep -qF -- "${line:1}" && problems+=("error.txt has '${line:1}'")
        else
          iconv -f CP932 -t UTF-8 "$game/error.txt" | grep -qF -- "$line" || problems+=("error.txt lacks '$line'")
        fi
      done < "$here/$name.errors"
    fi
  elif [ -f "$game/error.txt" ]; then
    problems+=("unexpected error.txt: $(head -c 200 "$game/error.txt")")
  fi
  if [ ${#problems[@]} -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL $name: ${problems[*]}"
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
