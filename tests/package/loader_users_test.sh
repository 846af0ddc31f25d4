#!/usr/bin/env bash
# The jar's loader between two local users: a victim and another user who
# plants directories where the victim's copy of the library (and the
# companion program beside it) would go, or where the simulated machine keeps
# its drives. Neither user has a passwd entry, so the JVM's user.home is "?"
# unless a case sets it. In every case the victim's program must run, and
# load and write only in directories of its own.
# Needs root (to act as the two users); without it, says so and skips.
# Arguments: the jar.
set -euo pipefail
jar=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "loader users test: $*" >&2; exit 1; }
if [ "$(id -u)" -ne 0 ]; then
  echo "loader users test: skipped (needs root to act as two users)"
  exit 0
fi
victim=52001 other=52002
top=$(mktemp -d /tmp/tamberlyx-users.XXXXXX)
trap 'rm -rf "$top"; rm -f /dev/shm/tamberlyx-trace-words-$victim' EXIT
chmod 755 "$top"
cp "$jar" "$top/tamberlyx.jar"
cp "$here/ListBench.java" "$top/"
hash=$(unzip -p "$jar" natives/linux-x86_64/libTamberlyx.so | sha256sum | cut -d' ' -f1)

as_user() {  # as_user UID COMMAND...: with no groups, an empty environment but for PATH
  setpriv --reuid="$1" --regid="$1" --clear-groups -- env -i PATH="$PATH" "${@:2}"
}
# A case's own temporary directory, shared by everybody as /tmp is.
shared_tmp() {
  mkdir -p "$top/$1" && chmod 1777 "$top/$1"
  echo "$top/$1"
}
# Runs the victim's program; JAVA_ARGS and the case's TMPDIR are given.
run_victim() {
  local name=$1 tmp=$2
  shift 2
  mkdir -p "$top/run-$name" && chown "$victim" "$top/run-$name"
  (cd "$top/run-$name" && as_user "$victim" TMPDIR="$tmp" java -Djava.io.tmpdir="$tmp" "$@" \
     -cp "$top/tamberlyx.jar" "$top/ListBench.java") >"$top/$name.out" 2>"$top/$name.err" ||
    fail "$name: the victim's program failed: $(cat "$top/$name.out" "$top/$name.err")"
  grep -q "Kestra Loopback" "$top/$name.out" || fail "$name: nothing listed: $(cat "$top/$name.out")"
  loaded=$(sed -n 's/^loaded: //p' "$top/$name.out")
  [ -n "$loaded" ] || fail "$name: the program did not say what it loaded"
  [ ! -e "$top/run-$name/?" ] || fail "$name: files were written to ./?"
  # A fresh directory of the JVM's own is gone when the JVM ends.
  if [[ $loaded == "$tmp"/tamberlyx-[0-9]*/*/* && $loaded != "$tmp/tamberlyx-$victim/"* ]]; then
    [ ! -e "$(dirname "$(dirname "$loaded")")" ] || fail "$name: the fresh directory stayed behind"
    return
  fi
  [ -f "$loaded" ] || fail "$name: no library at '$loaded'"
  # The library and every directory up to the case's top are the victim's own.
  local path=$loaded
  while [ "$path" != "$top" ] && [ "$path" != "/" ]; do
    [ -L "$path" ] && fail "$name: loaded through a link: $path"
    [ "$(stat -c %u "$path")" = "$victim" ] || [ "$path" = "$tmp" ] || [ "$path" = "$home" ] ||
      fail "$name: $path on the way to the library is not the victim's"
    path=$(dirname "$path")
  done
}

# The other user made the victim's shared trace words first, saying "trace on".
rm -f "/dev/shm/tamberlyx-trace-words-$victim"
as_user "$other" sh -c "umask 0; printf '\\001\\000\\000\\000\\000\\000\\000\\000' > /dev/shm/tamberlyx-trace-words-$victim"

# 1. A cache directory others may write to, with a copy planted where the
#    victim's would go: passed over, with a warning saying why.
home=$top/home-careless
mkdir -p "$home/.cache" && chown -R "$victim" "$home" && chmod 777 "$home/.cache"
as_user "$other" mkdir -p "$home/.cache/tamberlyx/natives/$hash"
as_user "$other" chmod -R 777 "$home/.cache/tamberlyx"
unzip -p "$jar" natives/linux-x86_64/libTamberlyx.so | as_user "$other" tee \
  "$home/.cache/tamberlyx/natives/$hash/libTamberlyx.so" >/dev/null
tmp=$(shared_tmp tmp-careless)
run_victim careless "$tmp" -Duser.home="$home"
case $loaded in "$home"/*) fail "careless: loaded from the planted cache: $loaded" ;; esac
grep -q "others may change what is in $home/.cache" "$top/careless.err" ||
  fail "careless: no warning says why the cache was passed over: $(cat "$top/careless.err")"

# 2. No home ("?"), and the per-user directory under the temporary directory
#    is a link the other user made: a fresh directory instead.
tmp=$(shared_tmp tmp-link)
as_user "$other" mkdir "$tmp/theirs"
as_user "$other" ln -s "$tmp/theirs" "$tmp/tamberlyx-$victim"
home=
run_victim link "$tmp"
case $loaded in "$tmp/tamberlyx-$victim"/* | "$tmp/theirs"/*) fail "link: loaded through the link: $loaded" ;; esac
grep -q "it is a link" "$top/link.err" || fail "link: no warning says why: $(cat "$top/link.err")"
[ -z "$(ls -A "$tmp/theirs")" ] || fail "link: something was written into the other user's directory"

# 3. No home, and the other user made the per-user directory and the
#    simulated machine's drive directory (with a trace key naming a file
#    there): neither is used, nor the shared words.
tmp=$(shared_tmp tmp-planted)
as_user "$other" mkdir -m 777 "$tmp/tamberlyx-$victim"
as_user "$other" mkdir -p "$tmp/tamberlyx-sim-$victim/c/temp"
as_user "$other" chmod -R 777 "$tmp/tamberlyx-sim-$victim"
printf 'c:\\temp\\planted\n' | as_user "$other" tee "$tmp/tamberlyx-sim-$victim/c/temp/tolvwinusbdebug.key" >/dev/null
run_victim planted "$tmp"
case $loaded in "$tmp/tamberlyx-$victim"/*) fail "planted: loaded from the planted directory: $loaded" ;; esac
grep -q "belongs to uid $other" "$top/planted.err" || fail "planted: no warning says why: $(cat "$top/planted.err")"
[ -z "$(find "$tmp/tamberlyx-sim-$victim" -name 'planted*')" ] || fail "planted: the victim traced into the planted drives"
[ -z "$(ls -A "$tmp/tamberlyx-$victim")" ] || fail "planted: something was written into the planted directory"
# The planted shared words say "trace on": mapped, they would make the
# victim trace into its drives (a file "null") without any key.
[ -z "$(find "$tmp" -path "*/tamberlyx-sim-$victim-*" -name null)" ] || fail "planted: the other user's shared words were used"

# 4. A home the victim cannot write to: the per-user temporary directory.
home=$top/home-read-only
mkdir -p "$home" && chmod 555 "$home"
tmp=$(shared_tmp tmp-read-only)
run_victim read-only "$tmp" -Duser.home="$home"
[ "$loaded" = "$tmp/tamberlyx-$victim/natives/$hash/libTamberlyx.so" ] || fail "read-only: loaded from $loaded"
[ "$(stat -c %a "$tmp/tamberlyx-$victim")" = 700 ] || fail "read-only: the per-user directory is not private"
echo "loader users test: passed"
