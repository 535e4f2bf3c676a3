# Installs, from Debian's archive, whatever of the named packages this machine
# lacks.  Sourced by the other scripts: ensure_packages PACKAGE...
# Quiet: one line says what it installs and how it went; apt's own output goes
# to build/apt.log (MIREKAST_APT_LOG elsewhere) and is printed only when apt
# fails.  Not root and without sudo it names the missing packages, says how to
# install them and exits 1 rather than fail later on a missing command.
mirekast_apt_log=${MIREKAST_APT_LOG:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/apt.log}

ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            {
                echo "$(basename "$0") needs packages this machine lacks: ${missing[*]}"
                echo "Install them as root, then run it again:"
                echo "    apt-get install --no-install-recommends ${missing[*]}"
                echo "(or install sudo, which it then uses to install them itself)"
            } >&2
            exit 1
        fi
        sudo=(sudo)
    fi

    mkdir -p "$(dirname "$mirekast_apt_log")"
    local started=$SECONDS
    printf 'Installing %s from Debian'\''s archive ... ' "${missing[*]}" >&2
    # sudo resets the environment, so the frontend goes through env.  Other
    # apt runs on the machine hold its lock for a while: wait for them.
    if { "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q &&
         "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 \
             install -y -q --no-install-recommends "${missing[@]}"; } >"$mirekast_apt_log" 2>&1; then
        echo "done: $(grep -c '^Setting up ' "$mirekast_apt_log") packages set up in $((SECONDS - started)) s (log: $mirekast_apt_log)" >&2
        return 0
    fi
    echo "failed" >&2
    cat "$mirekast_apt_log" >&2
    echo "apt-get could not install ${missing[*]}; its log is above and in $mirekast_apt_log" >&2
    exit 1
}
