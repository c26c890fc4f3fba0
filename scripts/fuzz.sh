#!/usr/bin/env bash
# Fuzzes what the installer and the authoring tool read from outside: the
# package reader (with the safe-name rule and `quillbox inspect`), text
# expansion, the manifest loader, and the uninstall log with the trailer the
# uninstaller reads, and the LZX encoder over any data (checked against the
# tests' strict decoder). Each target runs under libFuzzer with
# AddressSanitizer and UndefinedBehaviorSanitizer for the given number of
# minutes (default 10), seeded from the test packages and manifests.
#
#   bash scripts/fuzz.sh [MINUTES] [TARGET...]
#
# Findings are kept in build/fuzz/findings/TARGET/; a run prints each
# target's executions and how many crashes it found. Not part of `make test`.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-10}
seconds=$(awk -v m="$minutes" 'BEGIN { print int(m * 60) }')
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(package_reader expand manifest uninstall_log lzx_encoder)

bash scripts/setup-deps.sh
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
if ! have clang || ! have libclang-rt-14-dev; then
  echo "fuzz: installing clang and its runtime"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    clang libclang-rt-14-dev >/dev/null
fi

out=build/fuzz
mkdir -p "$out"
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
  -Icommon -Itool $(pkg-config --cflags tomlplusplus))
common_sources=(common/cab/safe_name.cpp common/package/package.cpp common/package/signature.cpp
  common/package/source.cpp common/package/support_files.cpp common/package/exit_codes.cpp
  common/text/expand.cpp common/text/text.cpp common/text/sha256.cpp common/uninstall/log_reader.cpp
  common/uninstall/removal_rules.cpp)
tool_sources=(tool/inspect.cpp tool/manifest.cpp tool/messages.cpp tool/settings_table.cpp
  tool/text_convert.cpp tool/variables.cpp tool/path_checks.cpp tool/builder.cpp
  tool/pe_resources.cpp tool/signing.cpp common/cab/cab_writer.cpp common/cab/lzx_encoder.cpp
  common/uninstall/uninstall_log.cpp)
tool_libs=($(pkg-config --libs tomlplusplus) -lz -pthread)

build() {
  local target=$1
  shift
  echo "fuzz: building $target"
  clang++ "${flags[@]}" "tests/fuzz/${target}_fuzz.cpp" "$@" -o "$out/$target"
}

# Seeds: packages built from the example and by the test helper, the
# manifests of the example and the tests, and a few texts with tokens.
seed() {
  local target=$1 dir=$out/seeds/$1
  rm -rf "$dir"
  mkdir -p "$dir"
  case $target in
    package_reader)
      make --no-print-directory build >/dev/null
      build/native/tool/quillbox build examples/tally/tally.toml -o "$dir/tally.exe" >/dev/null
      # The stub is cut away: what the reader sees is the package.
      for f in "$dir"/*.exe; do tail -c 60000 "$f" >"$f.tail" && rm "$f"; done
      head -c 2000 /dev/zero >"$dir/stub"
      build/native/tests/qbpack "$dir/stub" "$dir/plain" --languages 2 --set 93=2
      build/native/tests/qbpack "$dir/stub" "$dir/claims" --claim 57=900000000
      rm "$dir/stub"
      ;;
    expand)
      printf '|@$&%%04\\readme.txt|C:\\Apps' >"$dir/a"
      printf '#@$&%%81;@$&%%82#@$&%%82@$&%%82#x' >"$dir/b"
      printf '|@$&%%44@$&%%4\\@$&%%-1|@$&%%|&%%81' >"$dir/c"
      ;;
    manifest)
      cp examples/tally/tally.toml "$dir/"
      for script in tests/wine/*.sh; do
        awk '/<<.TOML.$/{on=1; next} /^TOML$/{on=0} on' "$script" >"$dir/$(basename "$script" .sh).toml"
      done
      find "$dir" -empty -delete
      ;;
    lzx_encoder)
      head -c 3000 README.md | { printf '\x15\x03'; cat; } >"$dir/text"
      head -c 3000 build/win/stub/quillbox-stub.exe 2>/dev/null | { printf '\x95\x20'; cat; } >"$dir/code"
      head -c 2000 /dev/urandom | { printf '\x0f\x05'; cat; } >"$dir/random"
      ;;
    uninstall_log)
      printf '[f]\r\n1=C:\\App\\a.txt\r\n[e]\r\n1=C:\\App\\data\r\n[r1]\r\n0=1\r\n1=Software\\V\\A\r\n2=""x""\r\n[s]\r\n18=C:\\App\r\n31=1\r\n' >"$dir/log"
      printf 'MZ\0\0BM\0\0\0\0\0\0\0\0\0\0\0\0\x0e\0\0\0C:\\App\\uninstall.log\x14\0' >"$dir/trailer"
      ;;
  esac
}

for target in "${targets[@]}"; do
  case $target in
    package_reader) build "$target" "${common_sources[@]}" "${tool_sources[@]}" "${tool_libs[@]}" ;;
    expand | uninstall_log) build "$target" "${common_sources[@]}" ;;
    lzx_encoder) build "$target" common/cab/lzx_encoder.cpp ;;
    manifest) build "$target" "${common_sources[@]}" "${tool_sources[@]}" "${tool_libs[@]}" ;;
    *) echo "fuzz: no target $target" >&2; exit 2 ;;
  esac
  seed "$target"
done

status=0
for target in "${targets[@]}"; do
  corpus=$out/corpus/$target findings=$out/findings/$target
  mkdir -p "$corpus" "$findings"
  echo "fuzz: $target for $minutes minute(s)"
  log=$out/$target.log
  rc=0
  (cd "$findings" && "../../$target" -max_total_time=$seconds -rss_limit_mb=4096 \
    -timeout=20 -print_final_stats=1 "../../corpus/$target" "../../seeds/$target") >"$log" 2>&1 || rc=$?
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  crashes=$(find "$findings" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
    -o -name 'oom-*' \) | wc -l)
  echo "fuzz: $target: ${runs:-?} executions, $crashes finding(s), exit $rc (log: $log)"
  [ "$crashes" -eq 0 ] && [ "$rc" -eq 0 ] || status=1
done
exit $status
