#!/usr/bin/env bash
# Checks the jar as a Java developer meets it: what it holds (the DLL the
# Windows build tested, the Linux library), a fresh JVM with only the jar on
# its class path listing the built-in bench, two JVMs extracting at once, a
# damaged cache copy replaced, a platform the jar has no library for, an
# installation into a local Maven repository, the README's Java examples and
# an application project built with it, and the loader between two users.
# Arguments: the jar, the Linux build directory, the tested Tamberlyx.dll.
set -euo pipefail
jar=$(realpath "$1") linux_build=$(realpath "$2") dll=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
work=$linux_build/package-test
rm -rf "$work" && mkdir -p "$work/run"
fail() { echo "package test: $*" >&2; exit 1; }
version=$(basename "$jar" .jar); version=${version#tamberlyx-}
dist=$(dirname "$jar")

listing=$(unzip -Z1 "$jar")
for entry in com/vantorel/kestra/comm/KESTRACommUSBAccess.class com/vantorel/kestra/comm/usb/UsbSession.class \
    com/vantorel/kestra/comm/usb/DeviceWatcher.class com/vantorel/kestra/comm/usb/desk/SimulatedDesk.class \
    natives/linux-x86_64/libTamberlyx.so natives/windows-x86_64/Tamberlyx.dll; do
  grep -qx "$entry" <<<"$listing" || fail "the jar lacks $entry"
done
! grep -q '^com/vantorel/kestra/demo/' <<<"$listing" || fail "the jar holds the demo"
unzip -p "$jar" natives/windows-x86_64/Tamberlyx.dll | cmp -s - "$dll" || fail "the jar's DLL is not the tested one"
# The Linux library: the one built, stripped (its debug information beside
# the build), with its C++ runtime inside.
unzip -p "$jar" natives/linux-x86_64/libTamberlyx.so >"$work/libTamberlyx.so"
build_id() { readelf -n "$1" | sed -n 's/.*Build ID: //p'; }
[ -n "$(build_id "$work/libTamberlyx.so")" ] && [ "$(build_id "$work/libTamberlyx.so")" = "$(build_id "$linux_build/libTamberlyx.so")" ] ||
  fail "the jar's Linux library is not the one built"
! readelf -S "$work/libTamberlyx.so" | grep -q '\.debug_info' || fail "the jar's Linux library carries debug information"
[ -f "$linux_build/libTamberlyx.so.debug" ] || fail "no debug information kept beside the build"
! readelf -d "$work/libTamberlyx.so" | grep -q 'libstdc++' || fail "the Linux library needs libstdc++"
! readelf -V "$work/libTamberlyx.so" | grep -q GLIBCXX || fail "the Linux library needs GLIBCXX symbols"
unzip -p "$jar" META-INF/MANIFEST.MF | grep "^Implementation-Version: $version" >/dev/null || fail "the manifest lacks the version"
unzip -Z1 "$dist/tamberlyx-$version-sources.jar" | grep -x com/vantorel/kestra/comm/usb/UsbSession.java >/dev/null ||
  fail "the sources jar lacks the typed layer"
unzip -Z1 "$dist/tamberlyx-$version-javadoc.jar" | grep -x index.html >/dev/null || fail "the javadoc jar lacks index.html"
for field in "<name>Tamberlyx</name>" "<description>" "linux-x86_64" "windows-x86_64"; do
  grep -q "$field" "$dist/tamberlyx-$version.pom" || fail "the pom does not say $field"
done

# A second build of the same commit gives the same bytes.
mkdir -p "$work/first-build"
cp "$dist/tamberlyx-$version.jar" "$dist/tamberlyx-$version-sources.jar" "$dist/tamberlyx-$version-javadoc.jar" \
  "$work/first-build/"
cmake --build "$linux_build" --target jar >/dev/null
for artefact in "tamberlyx-$version.jar" "tamberlyx-$version-sources.jar" "tamberlyx-$version-javadoc.jar"; do
  cmp -s "$work/first-build/$artefact" "$dist/$artefact" || fail "$artefact differs between two builds"
done

# A JVM with only the jar on its class path: no -D flags, no java.library.path,
# a cache directory of its own, so the library comes out of the jar there.
run_jvm() {
  (cd "$work/run" && env -u TAMBERLYX_BENCH XDG_CACHE_HOME="$work/cache" TAMBERLYX_SIM_ROOT="$work/machine" \
     TAMBERLYX_SIM_SHM="/tamberlyx-package-$$" java "$@" -cp "$jar" "$here/ListBench.java")
}
trap 'rm -f /dev/shm/tamberlyx-package-$$' EXIT
run_jvm >"$work/first.txt" 2>&1 & first=$!
run_jvm >"$work/second.txt" 2>&1 || fail "the second of two JVMs at once failed: $(cat "$work/second.txt")"
wait $first || fail "the first of two JVMs at once failed: $(cat "$work/first.txt")"
for output in "$work/first.txt" "$work/second.txt"; do
  grep -q "Kestra Loopback" "$output" || fail "no built-in bench listed: $(cat "$output")"
  grep -qx "version: $version" "$output" || fail "the JVM did not see the version"
done
hash=$(unzip -p "$jar" natives/linux-x86_64/libTamberlyx.so | sha256sum | cut -d' ' -f1)
cached=$work/cache/tamberlyx/natives/$hash/libTamberlyx.so
[ -f "$cached" ] || fail "no copy at $cached"
[ "$(find "$work/cache/tamberlyx/natives/$hash" -type f | wc -l)" -eq 1 ] || fail "temporary files stayed behind"

# A damaged copy in the cache is not loaded: it is replaced first.
printf 'damaged' | dd of="$cached" bs=1 seek=4096 conv=notrunc status=none
run_jvm >"$work/third.txt" 2>&1 || fail "a damaged cache copy stopped the JVM: $(cat "$work/third.txt")"
cmp -s "$cached" "$work/libTamberlyx.so" || fail "the damaged copy was not replaced"

# No library for the platform: a clear UnsatisfiedLinkError.
if run_jvm -Dos.arch=riscv64 >"$work/other.txt" 2>&1; then fail "a JVM on riscv64 loaded a library"; fi
grep -q "UnsatisfiedLinkError: no Tamberlyx library for linux-riscv64" "$work/other.txt" ||
  fail "unexpected failure on riscv64: $(cat "$work/other.txt")"
grep -q "natives/windows-x86_64/Tamberlyx.dll, natives/linux-x86_64/libTamberlyx.so" "$work/other.txt" ||
  fail "the error does not say what the jar holds"

# Maven: install-file into a fresh local repository. Only the system's own
# Maven repository is reachable, so it stands in for the remote one (it
# provides the install plugin); nothing else is fetched.
if command -v mvn >/dev/null && [ -d /usr/share/maven-repo/org/apache/maven/plugins/maven-install-plugin ]; then
  plugin_version=$(ls /usr/share/maven-repo/org/apache/maven/plugins/maven-install-plugin | sort -V | tail -1)
  cat >"$work/settings.xml" <<SETTINGS
<settings><localRepository>$work/m2</localRepository>
<mirrors><mirror><id>system</id><mirrorOf>*</mirrorOf><url>file:///usr/share/maven-repo</url></mirror></mirrors></settings>
SETTINGS
  mvn -q -B -s "$work/settings.xml" "org.apache.maven.plugins:maven-install-plugin:$plugin_version:install-file" \
    -Dfile="$jar" -DpomFile="$dist/tamberlyx-$version.pom" -Dsources="$dist/tamberlyx-$version-sources.jar" \
    -Djavadoc="$dist/tamberlyx-$version-javadoc.jar" >"$work/mvn.txt" 2>&1 || fail "mvn install-file: $(cat "$work/mvn.txt")"
  installed=$work/m2/com/vantorel/kestra/tamberlyx/$version
  cmp -s "$installed/tamberlyx-$version.jar" "$jar" || fail "Maven did not install the jar"
  cmp -s "$installed/tamberlyx-$version.pom" "$dist/tamberlyx-$version.pom" || fail "Maven did not install the pom"
  [ -f "$installed/tamberlyx-$version-sources.jar" ] && [ -f "$installed/tamberlyx-$version-javadoc.jar" ] ||
    fail "Maven did not install the sources and javadoc jars"
  "$here/readme_examples_test.sh" "$jar" "$here/../../README.md" "$work/readme" "$work/settings.xml"
else
  fail "Maven or its install plugin is missing"
fi
# The loader between two local users: nothing planted is ever used.
"$here/loader_users_test.sh" "$jar"
echo "package test: passed"
