#!/usr/bin/env bash
# End-to-end packaging: games packed with qlapack and run by the real runtime, headless on the
# virtual clock, the way a player gets them.
#
# usage: run.sh QUILLORANE QLAPACK [CASE...]
#   CASE is archive, linked, priority or windows (default: all of them).
# QL_TEST_PLUGIN, when set, is a plug-in (.so) the windows case imports under a .dll name.
#
#   archive   examples/hello packed into a .qla, run from a folder holding only that archive:
#             the same output and the same screen as the loose folder.
#   linked    the same archive linked onto the runtime, the one file copied to another folder
#             and started from a third with no game argument.
#   priority  the linked block, loose files and numbered and named archives beside the game,
#             each answering for the names the documented order gives it; then the same game
#             started from a .qla in that folder.
#   windows   a game written on Windows (backslashes, every path in another letter case than
#             on disk, Shift-JIS scripts with CR LF, a scripts list and a .dll plug-in name in
#             setup.nut) run from its folder and from its archive.
#
# Prints "ok CASE" or "FAIL CASE: why" lines and exits 1 when anything failed.
set -u
export LC_ALL=C
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
runtime=$(realpath "$1")
qlapack=$(realpath "$2")
shift 2
cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=(archive linked priority windows)

tmp=$(mktemp -d "${TMPDIR:-/tmp}/qlpackaging.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
failures=0
frames=20

fail() { echo "FAIL $current: $*"; failures=$((failures + 1)); problem=1; }

# play DIR OUT [runtime arguments...]: runs the runtime with DIR as the current directory;
# OUT.stdout, OUT.stderr and OUT.rc receive what happened.
play() {
  local dir=$1 out=$2
  shift 2
  (cd "$dir" && timeout 120 "$@" > "$out.stdout" 2> "$out.stderr" < /dev/null)
  echo $? > "$out.rc"
}

# expect_run OUT: the run ended with status 0 and said nothing on its error output.
expect_run() {
  local out=$1
  [ "$(cat "$out.rc")" = 0 ] || fail "$(basename "$out") ended with status $(cat "$out.rc"): $(head -3 "$out.stderr")"
  [ -s "$out.stderr" ] && fail "$(basename "$out") wrote to standard error: $(head -3 "$out.stderr")"
}

# same_text WANT GOT WHAT: the two files are equal, or the difference is reported.
same_text() {
  if ! cmp -s "$1" "$2"; then
    fail "$3 differs:"
    diff "$1" "$2" | head -20
  fi
}

# to_game: UTF-8 text on standard input as a game script written on Windows (Shift-JIS, CR LF).
to_game() { iconv -f UTF-8 -t CP932 | sed 's/$/\r/'; }

# pack OUT DIR: qlapack pack, which must succeed, with verify agreeing.
pack() {
  if ! "$qlapack" pack "$1" "$2" 2> "$tmp/pack.err"; then fail "qlapack pack $2: $(cat "$tmp/pack.err")"; return 1; fi
  if ! "$qlapack" verify "$1" > /dev/null 2>&1; then fail "qlapack verify $1 failed"; return 1; fi
}

# The loose run of examples/hello, which the archive and linked cases compare against.
hello_reference() {
  [ -f "$tmp/hello/ref.rc" ] && return 0
  mkdir -p "$tmp/hello/src"
  cp -r "$source_dir/examples/hello/." "$tmp/hello/src/"
  # Every file and folder of the game, with \ between folders as the archive stores them.
  (cd "$tmp/hello/src" && find . -mindepth 1 | sed 's|^\./||; s|/|\\|g' | sort) > "$tmp/hello/want.list"
  pack "$tmp/hello/hello.qla" "$tmp/hello/src"
  play "$tmp/hello" "$tmp/hello/ref" "$runtime" --headless --virtual-clock --frames $frames \
      --screenshot "$tmp/hello/ref.png" src
  expect_run "$tmp/hello/ref"
  [ -s "$tmp/hello/ref.stdout" ] || fail "the loose run of examples/hello printed nothing"
  [ -f "$tmp/hello/ref.png" ] || fail "the loose run of examples/hello saved no screenshot"
  [ -e "$tmp/hello/src/error.txt" ] && fail "the loose run of examples/hello wrote error.txt"
}

case_archive() {
  hello_reference
  "$qlapack" list "$tmp/hello/hello.qla" | cut -f2 | sort > "$tmp/hello/got.list"
  same_text "$tmp/hello/want.list" "$tmp/hello/got.list" "the archive's entry list"

  mkdir -p "$tmp/hello/dist"
  cp "$tmp/hello/hello.qla" "$tmp/hello/dist/"
  play "$tmp/hello/dist" "$tmp/hello/qla" "$runtime" --headless --virtual-clock --frames $frames \
      --screenshot "$tmp/hello/qla.png" hello.qla
  expect_run "$tmp/hello/qla"
  same_text "$tmp/hello/ref.stdout" "$tmp/hello/qla.stdout" "the output of the game run from hello.qla"
  cmp -s "$tmp/hello/ref.png" "$tmp/hello/qla.png" || fail "the screen of the game run from hello.qla differs"
  [ -e "$tmp/hello/dist/error.txt" ] && fail "the run from hello.qla wrote error.txt: $(head -3 "$tmp/hello/dist/error.txt")"
}

case_linked() {
  hello_reference
  local one=$tmp/linked/far/bin/hello-game
  mkdir -p "$tmp/linked/far/bin" "$tmp/linked/elsewhere"
  if ! "$qlapack" link "$runtime" "$tmp/hello/hello.qla" "$tmp/linked/made" 2> "$tmp/linked/link.err"; then
    fail "qlapack link: $(cat "$tmp/linked/link.err")"
    return
  fi
  # Only the one file travels; the archive and the runtime stay behind.
  mv "$tmp/linked/made" "$one"
  [ -x "$one" ] || fail "the linked game is not executable"
  play "$tmp/linked/elsewhere" "$tmp/linked/run" ../far/bin/hello-game --headless --virtual-clock \
      --frames $frames --screenshot "$tmp/linked/run.png"
  expect_run "$tmp/linked/run"
  # cmdline[0] is the running executable: the linked game rather than the runtime.
  sed "s|$runtime|$(realpath "$one")|g" "$tmp/hello/ref.stdout" > "$tmp/linked/want.stdout"
  same_text "$tmp/linked/want.stdout" "$tmp/linked/run.stdout" "the output of the linked game"
  cmp -s "$tmp/hello/ref.png" "$tmp/linked/run.png" || fail "the screen of the linked game differs"
  [ -e "$tmp/linked/far/bin/error.txt" ] && fail "the linked game wrote error.txt: $(head -3 "$tmp/linked/far/bin/error.txt")"
  [ -n "$(ls "$tmp/linked/elsewhere")" ] && fail "the linked game wrote into the current directory: $(ls "$tmp/linked/elsewhere")"

  # Linking onto a linked game replaces its block rather than stacking a second one.
  "$qlapack" link "$one" "$tmp/hello/hello.qla" "$tmp/linked/again" 2> /dev/null || fail "relinking failed"
  [ "$(stat -c %s "$tmp/linked/again")" = "$(stat -c %s "$one")" ] || fail "relinking changed the size of the game"
}

# A file probe.txt in each storage saying which storage it is; the game reads p1.txt .. p8.txt,
# each held by a different set of storages, and prints who answered.
case_priority() {
  local d=$tmp/prio
  mkdir -p "$d/block" "$d/game" "$d/elsewhere"
  probes() {  # probes DIR NAME N...: files pN.txt holding NAME
    local dir=$1 name=$2
    shift 2
    mkdir -p "$dir"
    for n in "$@"; do printf '%s' "$name" > "$dir/p$n.txt"; done
  }
  cat > "$d/block/setup.nut" <<'EOF'
title = "priority";
EOF
  cat > "$d/block/start.nut" <<'EOF'
for (local i = 1; i <= 8; i++) println("p" + i + ": " + IO.readTextFile("p" + i + ".txt"));
println(IO.readTextFile("where.txt"));
EOF
  probes "$d/block" "linked block" 1
  # The loose files carry their own setup.nut and start.nut, which must not be the ones run.
  printf 'scripts = ["decoy.nut"];\n' > "$d/game/setup.nut"
  printf 'println("the loose setup.nut was read");\n' > "$d/game/decoy.nut"
  printf 'println("the loose start.nut ran");\n' > "$d/game/start.nut"
  probes "$d/game" "loose" 1 2
  probes "$d/a/7abc" "7abc.qla" 1 2 3
  probes "$d/a/2" "2.qla" 1 2 3 4
  probes "$d/a/0" "0.qla" 1 2 3 4 5
  probes "$d/a/data" "data.qla" 1 2 3 4 5 6
  # A huge number never places an archive before the loose files or the linked block.
  probes "$d/a/65535" "65535.qla" 1 2 7
  # Only the extension qla in lower case is mounted.
  probes "$d/a/extra" "extra.QLA" 6 8
  for a in 7abc 2 0 data 65535; do pack "$d/game/$a.qla" "$d/a/$a" || return; done
  pack "$d/game/extra.QLA" "$d/a/extra" || return
  pack "$d/block.qla" "$d/block" || return
  "$qlapack" link "$runtime" "$d/block.qla" "$d/game/prio-game" 2> /dev/null || { fail "qlapack link failed"; return; }
  printf 'the folder %s' "$(realpath "$d/game")" > "$d/game/where.txt"
  cat > "$d/want.stdout" <<EOF
p1: linked block
p2: loose
p3: 7abc.qla
p4: 2.qla
p5: 0.qla
p6: data.qla
p7: 65535.qla
p8: null
the folder $(realpath "$d/game")
EOF
  play "$d/elsewhere" "$d/linked" ../game/prio-game --headless --virtual-clock --frames 5
  expect_run "$d/linked"
  same_text "$d/want.stdout" "$d/linked.stdout" "what the linked game found"

  # The same block as a .qla given on the command line takes the linked block's place, and
  # keeps no second place among the archives beside it (zz.qla and data.qla are both unnumbered).
  rm "$d/game/prio-game"
  cp "$d/block.qla" "$d/game/zz.qla"
  play "$d/elsewhere" "$d/qla" "$runtime" --headless --virtual-clock --frames 5 ../game/zz.qla
  expect_run "$d/qla"
  same_text "$d/want.stdout" "$d/qla.stdout" "what the game started from zz.qla found"
}

case_windows() {
  local d=$tmp/win g=$tmp/win/game
  mkdir -p "$g/lib/sub" "$g/lib/日本語" "$g/data" "$d/dist"
  # Files on disk in lower case; every path in the scripts spells them differently.
  to_game > "$g/SETUP.NUT" <<'EOF'
// 設定：ウィンドウズで書いたゲーム
title = "癖のあるゲーム";
debug = true;
scripts = ["Lib\\Common.NUT", "LIB\\日本語\\Extra.Nut"];
EOF
  if [ -n "${QL_TEST_PLUGIN:-}" ]; then
    cp "$QL_TEST_PLUGIN" "$g/libfx.so"
    printf 'plugins = ["fx.dll"];\r\n' >> "$g/SETUP.NUT"
  fi
  to_game > "$g/Start.Nut" <<'EOF'
include("lib\\SUB\\More.NUT");
println(common() + " / " + extra + " / " + more);
local text = IO.readTextFile("DATA\\Message.TXT");
println(text + " (" + text.len() + " 文字)");
local picture = Graphics.Image("Data\\PIC.Png");
println("絵 " + picture.getWidth() + "x" + picture.getHeight());
println("保存 " + IO.writeTextFile("DATA\\Score.TXT", "得点：１２３"));
println("読込 " + IO.readTextFile("data\\score.txt"));
println("プラグイン " + ("testplugin_log" in getroottable() ? "あり" : "なし"));
EOF
  to_game > "$g/lib/common.nut" <<'EOF'
include("Helper.NUT");  // beside this file
function common() { return helper("共通"); }
EOF
  to_game > "$g/lib/helper.nut" <<'EOF'
function helper(s) { return "「" + s + "」"; }
EOF
  to_game > "$g/lib/日本語/extra.nut" <<'EOF'
extra <- "追加";
EOF
  to_game > "$g/lib/sub/more.nut" <<'EOF'
more <- "もっと";
EOF
  printf 'メッセージ' | iconv -f UTF-8 -t CP932 > "$g/data/message.txt"
  # A 3 x 2 PNG.
  echo 'iVBORw0KGgoAAAANSUhEUgAAAAMAAAACCAYAAACddGYaAAAAEUlEQVR4nGP4z8DwH4YZkDkAm34L9XKwuTwAAAAASUVORK5CYII=' \
      | base64 -d > "$g/data/pic.png"
  local plugin="なし"
  [ -n "${QL_TEST_PLUGIN:-}" ] && plugin="あり"
  cat > "$d/want.stdout" <<EOF
「共通」 / 追加 / もっと
メッセージ (5 文字)
絵 3x2
保存 true
読込 得点：１２３
プラグイン $plugin
EOF
  pack "$d/dist/win.qla" "$g" || return
  [ -n "${QL_TEST_PLUGIN:-}" ] && cp "$QL_TEST_PLUGIN" "$d/dist/libfx.so"
  # Saves need a folder on disk: the player's copy of the archive comes with an empty one.
  mkdir "$d/dist/Data"

  play "$d" "$d/loose" "$runtime" --headless --virtual-clock --frames 5 game
  expect_run "$d/loose"
  same_text "$d/want.stdout" "$d/loose.stdout" "the output of the game run from its folder"
  [ -e "$g/error.txt" ] && fail "the game wrote error.txt: $(iconv -f CP932 -t UTF-8 "$g/error.txt" | head -5)"
  # The score went into the existing data folder, in Shift-JIS.
  if [ -f "$g/data/Score.TXT" ]; then
    [ "$(iconv -f CP932 -t UTF-8 "$g/data/Score.TXT")" = "得点：１２３" ] || fail "data/Score.TXT does not hold the score in Shift-JIS"
  else
    fail "the score was not saved as data/Score.TXT: $(cd "$g" && find . -iname score.txt)"
  fi

  play "$d/dist" "$d/qla" "$runtime" --headless --virtual-clock --frames 5 win.qla
  expect_run "$d/qla"
  same_text "$d/want.stdout" "$d/qla.stdout" "the output of the game run from win.qla"
  [ -e "$d/dist/error.txt" ] && fail "the game run from win.qla wrote error.txt: $(iconv -f CP932 -t UTF-8 "$d/dist/error.txt" | head -5)"
  [ -f "$d/dist/Data/Score.TXT" ] || fail "the game run from win.qla did not save into the Data folder beside it"
}

for current in "${cases[@]}"; do
  problem=0
  if ! declare -F "case_$current" > /dev/null; then
    fail "no such case"
    continue
  fi
  "case_$current"
  [ $problem = 0 ] && echo "ok $current"
done
[ $failures = 0 ]
