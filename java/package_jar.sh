#!/usr/bin/env bash
# Builds the jar a Java developer adds: the peer class, the typed layer and
# the simulated-desk builder, with both native libraries under natives/;
# beside it the sources jar, the javadoc jar and the pom.
set -euo pipefail
jdk_bin=$1 source_dir=$2 work=$3 out=$4 version=$5 so=$6 dll=$7 pom=$8
[ -f "$dll" ] || { echo "no Windows DLL at $dll: build the Windows configuration first" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work/classes/natives/linux-x86_64" "$work/classes/natives/windows-x86_64" "$work/sources" "$out"
mapfile -t sources < <(cd "$source_dir" && find com/vantorel/kestra/comm -name '*.java' | sort)
(cd "$source_dir" && "$jdk_bin/javac" --release 11 -Xlint:all -Werror -d "$work/classes" "${sources[@]}")
cp "$so" "$work/classes/natives/linux-x86_64/libTamberlyx.so"
cp "$dll" "$work/classes/natives/windows-x86_64/Tamberlyx.dll"
# The bench tool that captures a Windows desk, built beside the DLL.
bench_tool="$(dirname "$dll")/tamberlyx_bench.exe"
if [ -f "$bench_tool" ]; then
  cp "$bench_tool" "$work/classes/natives/windows-x86_64/tamberlyx_bench.exe"
  if command -v x86_64-w64-mingw32-strip >/dev/null; then
    x86_64-w64-mingw32-strip "$work/classes/natives/windows-x86_64/tamberlyx_bench.exe"
  fi
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
# Only this version stays in the output directory, so that whoever picks the
# jar up there finds one.
rm -f "$out"/tamberlyx-*.jar "$out"/tamberlyx-*.pom
"$jdk_bin/jar" --create --file "$out/$name.jar" --manifest "$work/manifest.txt" -C "$work/classes" .
(cd "$source_dir" && cp --parents "${sources[@]}" "$work/sources")
"$jdk_bin/jar" --create --file "$out/$name-sources.jar" -C "$work/sources" .
(cd "$source_dir" && "$jdk_bin/javadoc" -quiet -Xdoclint:none --release 11 -d "$work/javadoc" "${sources[@]}" >/dev/null)
"$jdk_bin/jar" --create --file "$out/$name-javadoc.jar" -C "$work/javadoc" .
cp "$pom" "$out/$name.pom"
echo "$out/$name.jar"
