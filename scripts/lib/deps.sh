# Installs what the build, the tests and the demo need, with apt-get, when it is missing.
# Sourced by scripts/test, scripts/demo and scripts/screenshots.

velt_packages=(
    build-essential cmake pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    libmariadb-dev mariadb-server mariadb-client
    libxerces-c-dev
    qt6-base-dev xvfb xauth
    xdg-utils
)

velt_install_deps() {
    local missing=() p
    for p in "${velt_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo=(sudo)
        else
            echo "error: these packages are missing and this user cannot install them (not root, no sudo): ${missing[*]}" >&2
            echo "Install them with: apt-get install ${missing[*]}" >&2
            return 1
        fi
    fi
    export DEBIAN_FRONTEND=noninteractive
    if ! "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}" >/tmp/velt-apt.log 2>&1; then
        # A fresh machine may have no package lists yet.
        if ! "${sudo[@]}" apt-get update >>/tmp/velt-apt.log 2>&1 ||
           ! "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}" >>/tmp/velt-apt.log 2>&1; then
            tail -n 20 /tmp/velt-apt.log >&2
            echo "error: could not install ${missing[*]} with apt-get (log: /tmp/velt-apt.log)." >&2
            echo "Check the network and the apt sources, then run this command again." >&2
            return 1
        fi
    fi
    for p in "${missing[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            echo "error: package $p is still not installed after apt-get install." >&2
            return 1
        fi
    done
}
