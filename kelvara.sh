#!/usr/bin/env bash
# Kelvara's two everyday commands:
#   ./kelvara.sh run    build (Release) and start the player
#   ./kelvara.sh test   build and run every test, then again under ASan+UBSan
# Missing Debian packages are installed first (apt-get, as root or via sudo).
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")"

PACKAGES=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libsdl2-dev qt6-base-dev xvfb xauth dbus fonts-ipafont-gothic clang)

install_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

build() {  # build <dir> <cmake args...>
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir"
}

case "${1:-}" in
run)
    install_packages
    build build/release -DCMAKE_BUILD_TYPE=Release
    shift
    exec build/release/player/kelvara "$@"
    ;;
test)
    install_packages
    export SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen
    build build/release -DCMAKE_BUILD_TYPE=Release
    (cd build/release && ctest --output-on-failure -j2)
    # Second pass under the sanitizers, built with clang (much quicker to
    # compile instrumented than GCC), without the benchmarks. The heavy
    # (long-running) tests stay in the Release pass. Any sanitizer report
    # aborts the test and fails it; leaks inside third-party libraries
    # (Qt, fontconfig, ...) are listed in tests/lsan.supp.
    export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
    if [ -f build/asan/CMakeCache.txt ] && ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++' build/asan/CMakeCache.txt; then
        rm -rf build/asan  # configured with another compiler before
    fi
    build build/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DKELVARA_SANITIZE=ON \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKELVARA_BUILD_BENCH=OFF
    (cd build/asan && ctest --output-on-failure -j2 -LE heavy)
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
