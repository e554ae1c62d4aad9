# Configures and builds the project into a build folder. Sourced.
# velt_build FOLDER [cmake options...]
velt_build() {
    local folder=$1
    shift
    local jobs
    jobs=$(nproc 2>/dev/null || echo 2)
    cmake -S "$velt_root" -B "$folder" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$folder.configure.log" 2>&1 || {
        cat "$folder.configure.log" >&2
        echo "error: configuring the build in $folder failed; see above." >&2
        return 1
    }
    cmake --build "$folder" -j "$jobs" || {
        echo "error: the build in $folder failed; see above." >&2
        return 1
    }
}
