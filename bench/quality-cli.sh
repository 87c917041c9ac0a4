# Sourced by the quality benchmarks: sets `cli` to $OVRIN_CLI, or builds the
# command line of the normal build and points to it.
cli="${OVRIN_CLI:-}"
if [ -z "$cli" ]; then
    build=build/normal
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVRIN_WERROR=ON >/dev/null
    cmake --build "$build" --target ovrin-cli >/dev/null
    cli="$build/src/cli/ovrin-cli"
fi
