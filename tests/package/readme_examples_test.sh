#!/usr/bin/env bash
# Compiles every Java example of the README against the jar, as written, and
# runs the README's JUnit example in an application project built offline
# with Maven: the jar installed from the local repository, Surefire
# configured by the README's own snippet, two test classes in two forks,
# each with a bench file and a simulated machine root of its own.
# Arguments: the jar, the README, a work directory, Maven settings whose
# local repository holds the installed jar.
set -euo pipefail
jar=$(realpath "$1") readme=$(realpath "$2") work=$3 settings=$(realpath "$4")
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "README examples: $*" >&2; exit 1; }
version=$(basename "$jar" .jar); version=${version#tamberlyx-}
rm -rf "$work" && mkdir -p "$work/examples" "$work/classes"

# Each ```java block of the README becomes a file. A block that declares a
# class is a compilation unit as it stands; any other is a fragment, put in
# a method of a class of its own, its imports first.
awk -v dir="$work/examples" '
  /^```java$/ { n++; file = sprintf("%s/block-%02d.java", dir, n); inside = 1; next }
  /^```$/ && inside { inside = 0; close(file); next }
  inside { print > file }
' "$readme"
blocks=("$work"/examples/block-*.java)
[ -e "${blocks[0]}" ] || fail "no Java examples found"
junit=""
sources=()
for block in "${blocks[@]}"; do
  name=$(basename "$block" .java); name=Readme${name//-/}
  if grep -q '@Test' "$block"; then
    [ -z "$junit" ] || fail "more than one JUnit example"
    junit=$block
  elif grep -qE '^(public )?(final )?class ' "$block"; then
    class=$(sed -nE 's/^(public )?(final )?class ([A-Za-z0-9_]+).*/\3/p' "$block" | head -1)
    cp "$block" "$work/examples/$class.java"; sources+=("$work/examples/$class.java")
  else
    { grep '^import ' "$block" || true
      echo "class $name { static void example() throws Exception {"
      grep -v '^import ' "$block"
      echo "} }"; } >"$work/examples/$name.java"
    sources+=("$work/examples/$name.java")
  fi
done
[ -n "$junit" ] || fail "the README has no JUnit example"
javac -Xlint:all -Werror -d "$work/classes" -cp "$jar" "${sources[@]}" >"$work/javac.txt" 2>&1 ||
  fail "an example does not compile: $(cat "$work/javac.txt")"

# The application project: the README's test and Surefire plugin, as written.
project=$work/consumer
cp -r "$here/consumer" "$project"
class=$(sed -nE 's/^class ([A-Za-z0-9_]+).*/\1/p' "$junit" | head -1)
cp "$junit" "$project/src/test/java/$class.java"
awk '/^```xml$/ { block = ""; inside = 1; next }
     /^```$/ && inside { inside = 0; if (block ~ /maven-surefire-plugin/) printf "%s", block; next }
     inside { block = block $0 "\n" }' "$readme" >"$work/surefire.xml"
grep -q '<plugin>' "$work/surefire.xml" || fail "the README has no Surefire plugin snippet"
awk -v version="$version" -v snippet="$work/surefire.xml" '
  /@SUREFIRE@/ { while ((getline line < snippet) > 0) print line; next }
  { gsub(/@VERSION@/, version); print }' "$here/consumer/pom.xml" >"$project/pom.xml"
(cd "$project" && mvn -B -s "$settings" test) >"$work/mvn.txt" 2>&1 ||
  fail "the application project's build failed: $(tail -40 "$work/mvn.txt")"
grep -q "Tests run: 2, Failures: 0, Errors: 0, Skipped: 0" "$work/mvn.txt" ||
  fail "Surefire did not run both test classes: $(grep 'Tests run' "$work/mvn.txt")"
for fork in 1 2; do
  [ -s "$project/target/bench/fork-$fork.json" ] || fail "fork $fork wrote no bench of its own"
done
[ "$(grep -l '"Sensor B"' "$project"/target/bench/fork-*.json | wc -l)" -eq 1 ] ||
  fail "the two forks did not keep their benches apart"
echo "README examples: ${#sources[@]} compiled, the JUnit example passed under Surefire in two forks"
