#!/usr/bin/env bash
# Builds the jar a Java developer adds: the peer class, the typed layer and
# the simulated-machine builder, with both native libraries under natives/;
# beside it the sources jar, the javadoc jar and the pom. The Linux library
# goes in stripped; its debug information stays beside the build, as
# libTamberlyx.so.debug. Two runs from one commit give the same bytes: every
# entry carries the commit's time, in a fixed order.
set -euo pipefail
jdk_bin=$1 source_dir=$2 work=$3 out=$4 version=$5 so=$6 dll=$7 pom=$8
[ -f "$dll" ] || { echo "no Windows DLL at $dll: build the Windows configuration first" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work/classes/natives/linux-x86_64" "$work/classes/natives/windows-x86_64" "$work/sources" "$out"
mapfile -t sources < <(cd "$source_dir" && find com/vantorel/kestra/comm -name '*.java' | sort)
(cd "$source_dir" && "$jdk_bin/javac" --release 11 -Xlint:all -Werror -d "$work/classes" "${sources[@]}")
objcopy --only-keep-debug "$so" "$so.debug"
objcopy --strip-debug --strip-unneeded --add-gnu-debuglink="$so.debug" "$so" \
  "$work/classes/natives/linux-x86_64/libTamberlyx.so"
cp "$dll" "$work/classes/natives/windows-x86_64/Tamberlyx.dll"
# The bench tool that captures a Windows machine, built (stripped) beside the DLL.
bench_tool="$(dirname "$dll")/tamberlyx_bench.exe"
if [ -f "$bench_tool" ]; then
  cp "$bench_tool" "$work/classes/natives/windows-x86_64/tamberlyx_bench.exe"
else
  echo "no tamberlyx_bench.exe beside $dll: the jar goes without it" >&2
fi
cat >"$work/manifest.txt" <<MANIFEST
Implementation-Title: Tamberlyx
Implementation-Version: $version
Implementation-Vendor: Vantorel
Automatic-Module-Name: com.vantorel.kestra.comm
MANIFEST
name="tamberlyx-$version"
# The entries' time: the commit's, so that a rebuild of one commit matches.
stamp=$(git -C "$source_dir" log -1 --format=%cI 2>/dev/null || true)
[ -n "$stamp" ] || stamp=1980-01-01T00:00:02Z
# jar takes entries in the order given: sorted, not as the file system lists them.
jar_of() {
  local file=$1 dir=$2
  shift 2
  local entries=()
  mapfile -t entries < <(cd "$dir" && find . -type f -printf '%P\n' | LC_ALL=C sort)
  local arguments=()
  for entry in "${entries[@]}"; do arguments+=(-C "$dir" "$entry"); done
  "$jdk_bin/jar" --create --file "$file" --date="$stamp" "$@" "${arguments[@]}"
}
# Only this version stays in the output directory, so that whoever picks the
# jar up there finds one.
rm -f "$out"/tamberlyx-*.jar "$out"/tamberlyx-*.pom
jar_of "$out/$name.jar" "$work/classes" --manifest "$work/manifest.txt"
(cd "$source_dir" && cp --parents "${sources[@]}" "$work/sources")
jar_of "$out/$name-sources.jar" "$work/sources"
(cd "$source_dir" && "$jdk_bin/javadoc" -quiet -notimestamp -Xdoclint:none --release 11 -d "$work/javadoc" \
  "${sources[@]}" >/dev/null)
jar_of "$out/$name-javadoc.jar" "$work/javadoc"
cp "$pom" "$out/$name.pom"
echo "$out/$name.jar"
