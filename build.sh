#!/bin/sh
# Sets up a Debian 12 or 13 machine for Lantrix, builds it, and then either starts the
# program ("run") or runs the whole test suite headless ("test"); "package"
# builds the Debian package instead and checks it with lintian.
#
#   ./build.sh run                   build the program and start it
#   ./build.sh build                 build everything, tests and benchmarks included
#   ./build.sh test                  build the program and run the tests of it as
#                                    it ships (build/), then build the whole
#                                    suite under AddressSanitizer and
#                                    UndefinedBehaviorSanitizer (build-asan/) and
#                                    run it there; on Debian 12, last, the
#                                    release-tests below in a Debian 13 root
#                                    (tools/debian-root.sh)
#   ./build.sh release-tests         build everything as it ships (Release, tests
#                                    and benchmarks included) in build-<release>/
#                                    and run every test there: what the test
#                                    command runs in a Debian 13 root
#   ./build.sh tsan                  the capture, front-end and webcam tests under
#                                    ThreadSanitizer (build-tsan/)
#   ./build.sh package               build the Debian package (build/package/) and
#                                    check it with lintian
#   ./build.sh fuzz TARGET [SECONDS] [LIBFUZZER OPTIONS...]
#                                    build one fuzz target with clang and libFuzzer
#                                    (build-fuzz/) and run it (default 60 s); the
#                                    targets are the folders of fuzz/corpus/; any
#                                    further arguments (-max_len=, -jobs=, -dict=)
#                                    go to libFuzzer
set -eu
cd "$(dirname "$0")"

mode=${1:-run}
usage() { echo "usage: $0 [run|test|build|release-tests|package|tsan|fuzz TARGET [SECONDS] [LIBFUZZER OPTIONS...]]" >&2; exit 64; }
case "$mode" in run|test|build|release-tests|package|tsan) ;; fuzz) [ $# -ge 2 ] || usage ;; *) usage ;; esac
if [ "$mode" = fuzz ]; then
  case "${3:-60}" in ''|*[!0-9]*) echo "$0: SECONDS must be a whole number, not '$3'" >&2; exit 64 ;; esac
fi

# The package is built from a copy of the sources in build/package/, where
# dpkg-buildpackage also leaves the .deb files: nothing lands in the tree
# itself or beside it.
if [ "$mode" = package ]; then
  ./tools/install-packages.sh package
  version=$(dpkg-parsechangelog -S Version)
  out=build/package
  source="$out/lantrix-${version%-*}"
  rm -rf "$out"
  mkdir -p "$source"
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard | tar --null --ignore-failed-read -T - -cf - | tar -xf - -C "$source"
  else
    tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$source"
  fi
  (cd "$source" && DEB_BUILD_OPTIONS="parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -b -us -uc)
  deb="$out/lantrix_${version}_$(dpkg --print-architecture).deb"
  lintian --display-info --fail-on error "$deb"
  echo "Built $deb"
  exit 0
fi

# Running the program needs neither the tests nor their packages; "build"
# builds everything, tests and benchmarks included.
case "$mode" in
run)  packages=run;  testing=OFF ;;
fuzz) packages=fuzz; testing=OFF ;;
*)    packages=test; testing=ON ;;
esac
# The test mode is what CI runs (.ci/run): there a warning fails the build.
# It runs every test in the sanitizer build, and in build/ only those that
# need the build as it ships (LANTRIX_PROGRAM_TESTS_ONLY): the tests of the
# program's libraries are not compiled twice.
werror=OFF
programs_only=OFF
if [ "$mode" = test ]; then werror=ON; programs_only=ON; fi
[ "$mode" = release-tests ] && werror=ON
./tools/install-packages.sh "$packages"

jobs=$(nproc)
# Every build folder compiles through ccache, so a second build of the same
# sources (another folder, a fresh clone) costs little.
launcher="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
export CCACHE_BASEDIR="$PWD"

# configure FOLDER [CMAKE ARGUMENTS...]
# A new build folder is made for Ninja, which starts the next compile the
# moment one ends; a folder made earlier keeps the generator it was made with.
configure() {
  folder=$1; shift
  generator="-G Ninja"
  [ -f "$folder/CMakeCache.txt" ] && generator=""
  # shellcheck disable=SC2086
  cmake -S . -B "$folder" $generator $launcher "$@"
}

# A sanitizer build: the flags go to every compile and link of the folder.
# -O1 keeps the tests fast enough and the stacks readable; -g1 gives reports
# their source lines.
configure_sanitized() {
  folder=$1; flags=$2; shift 2
  configure "$folder" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
    -DCMAKE_C_FLAGS="$flags -fno-omit-frame-pointer" -DCMAKE_CXX_FLAGS="$flags -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" -DCMAKE_MODULE_LINKER_FLAGS="$flags" "$@"
}

sanitizers=$PWD/tools/sanitizers
# run_suite FOLDER [CTEST ARGUMENTS...]
# The tests run side by side, as many as there are cores: much of their time
# is spent waiting (servers' answers, the status bar's timed messages,
# cameras' frames), and each works in folders and on ports of its own.
run_suite() {
  folder=$1; shift
  (cd "$folder" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$jobs" "$@")
}

case "$mode" in
run|build|test)
  configure build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=$testing -DLANTRIX_BUILD_BENCHMARKS=$testing \
    -DLANTRIX_WARNINGS_AS_ERRORS=$werror -DLANTRIX_PROGRAM_TESTS_ONLY=$programs_only
  cmake --build build --parallel "$jobs"
  ;;
esac

case "$mode" in
run)   exec build/bin/lantrix ;;
build) ;;
test)
  run_suite build --timeout 300
  # The same suite under AddressSanitizer, LeakSanitizer and
  # UndefinedBehaviorSanitizer. Leaks inside the libraries below us are
  # suppressed by tools/sanitizers/lsan.supp (see the README); any other
  # report fails the test that caused it.
  configure_sanitized build-asan "-fsanitize=address,undefined -fno-sanitize-recover=undefined" \
    -DBUILD_TESTING=ON -DLANTRIX_BUILD_BENCHMARKS=OFF -DLANTRIX_WARNINGS_AS_ERRORS=$werror
  cmake --build build-asan --parallel "$jobs"
  # The libraries below us are built without frame pointers, so the fast
  # unwinder would stop at their first frame; the full unwinding of every
  # allocation lets a suppression name the library function that leaked and
  # keeps a leak of ours that passes through a library told apart from it.
  ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0" \
  LSAN_OPTIONS="suppressions=$sanitizers/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    run_suite build-asan --timeout 900
  # On Debian 12, the Release build and every test again on Debian 13, in a
  # root of its own (tools/debian-root.sh; the README's "Debian 12 and
  # Debian 13"). LANTRIX_DEBIAN13=off leaves it out.
  . /etc/os-release
  if [ "${VERSION_CODENAME:-}" = bookworm ] && [ "${LANTRIX_DEBIAN13:-on}" != off ]; then
    ./tools/debian-root.sh trixie ./build.sh release-tests
  fi
  ;;
release-tests)
  . /etc/os-release
  folder=build-${VERSION_CODENAME:-release}
  configure "$folder" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DLANTRIX_BUILD_BENCHMARKS=ON \
    -DLANTRIX_WARNINGS_AS_ERRORS=ON
  cmake --build "$folder" --parallel "$jobs"
  run_suite "$folder" --timeout 300
  ;;
tsan)
  configure_sanitized build-tsan "-fsanitize=thread" -DBUILD_TESTING=ON -DLANTRIX_BUILD_BENCHMARKS=OFF
  tsan_tests="capture_test_video_image|capture_test_video_sample|app_tst_webcam_scanner|app_tst_webcam_tab"
  cmake --build build-tsan --parallel "$jobs" --target \
    capture_test_video_image capture_test_video_sample app_tst_webcam_scanner app_tst_webcam_tab
  TSAN_OPTIONS="suppressions=$sanitizers/tsan.supp:halt_on_error=0:exitcode=66:second_deadlock_stack=1" \
    run_suite build-tsan --timeout 900 -R "^($tsan_tests)\$"
  ;;
fuzz)
  target=$2
  seconds=${3:-60}
  # What follows TARGET and SECONDS goes to libFuzzer.
  shift $(( $# < 3 ? $# : 3 ))
  [ -d "fuzz/corpus/$target" ] || { echo "$0: no fuzz target '$target' (see fuzz/corpus/)" >&2; exit 64; }
  CC=clang CXX=clang++ configure build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBUILD_TESTING=OFF -DLANTRIX_BUILD_BENCHMARKS=OFF -DLANTRIX_FUZZING=ON
  cmake --build build-fuzz --parallel "$jobs" --target "fuzz_$target"
  # New inputs go to a corpus folder of the build; the one in the repository
  # (seeds and past findings) is only read. Findings land in build-fuzz/findings/.
  work=build-fuzz/corpus/$target
  mkdir -p "$work" build-fuzz/findings
  # A run may last hours. AddressSanitizer records the stack of every
  # allocation and never gives the record back, and past their first two
  # frames the stacks of a run are mostly new ones (20,000 runs of
  # camera_sources recorded 57,000 stacks of the default 30 frames, 9,000 of
  # 3 frames, 190 of 2), so the record grows until the RSS limit ends the run
  # with a false out-of-memory finding. Two frames keep it small; a finding's
  # full stacks come from running its input through the suite's
  # fuzz_replay_<target> (or the target itself with a larger
  # LANTRIX_FUZZ_STACK_FRAMES).
  ASAN_OPTIONS="detect_leaks=1:malloc_context_size=${LANTRIX_FUZZ_STACK_FRAMES:-2}" \
  LSAN_OPTIONS="suppressions=$sanitizers/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  QT_QPA_PLATFORM=offscreen \
    "build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072 \
      -artifact_prefix="build-fuzz/findings/$target-" -print_final_stats=1 "$@" "$work" "fuzz/corpus/$target"
  ;;
esac
