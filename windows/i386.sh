#!/bin/bash
# How this machine runs 32-bit x86 Linux programs, which Wine's 32-bit
# loader is: natively, where the kernel has its 32-bit support on; else
# through qemu-i386 (version 8 or later: older ones take minutes to start
# Wine), registered for such files with binfmt_misc in a user namespace of
# the process's own (kernels 6.7 and later allow that); else not at all.
#   i386.sh way            prints "native", "qemu" or "none: REASON"
#   i386.sh install        installs what that way needs: Debian's wine32:i386,
#                          and qemu-user where the kernel runs no 32-bit program
#   i386.sh run PROGRAM... runs a 32-bit program through qemu, in a user
#                          namespace of its own
set -u
qemu=${QEMU_I386:-/usr/bin/qemu-i386}
sudo=
[ "$(id -u)" = 0 ] || sudo=sudo

# i386 ELF executables, as qemu's own binfmt configuration describes them.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# A new user, mount and network namespace, where binfmt_misc hands i386
# programs to qemu ("F": qemu is opened now, for every mount namespace).
# With $launch=exec, the program takes this process's place and number.
# qemu's own processor offers AVX2, whose code in Qt's drawing dies of an
# illegal instruction under 32-bit emulation; one without it is asked for.
in_namespace() {
    QEMU_CPU=${QEMU_CPU:-Nehalem} ${launch:-} unshare -U -r -m -n bash -c '
        mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || exit 125
        printf "%s" ":orv-i386:M::$1:$2:$3:F" >/proc/sys/fs/binfmt_misc/register 2>/dev/null || exit 125
        shift 3
        exec "$@"' bash "$magic" "$mask" "$qemu" "$@"
}

# The smallest i386 program: exits with status 0.
probe_program() {
    local dir=$1
    printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$dir/probe.s"
    as --32 -o "$dir/probe.o" "$dir/probe.s" 2>/dev/null && ld -m elf_i386 -o "$dir/probe" "$dir/probe.o" 2>/dev/null
}

qemu_version() {
    "$qemu" --version 2>/dev/null | sed -n '1s/.*version \([0-9][0-9]*\)\..*/\1/p'
}

way() {
    local dir reason
    dir=$(mktemp -d)
    trap 'rm -rf "$dir"' RETURN
    if ! probe_program "$dir"; then
        echo "none: binutils cannot make an i386 program to try"; return
    fi
    if [ "${ORV_I386_WAY:-}" != qemu ] && "$dir/probe" 2>/dev/null; then
        echo native; return
    fi
    reason="this kernel runs no 32-bit program (its IA32 emulation is off)"
    [ "${ORV_I386_WAY:-}" = qemu ] && reason="ORV_I386_WAY=qemu asks for qemu"
    local version
    version=$(qemu_version)
    if [ -z "$version" ]; then
        echo "none: $reason, and there is no qemu-i386 ($qemu)"; return
    fi
    if [ "$version" -lt 8 ]; then
        echo "none: $reason, and qemu-i386 is version $version, older than 8, too slow for Wine"; return
    fi
    if ! unshare -U -r -m -n true 2>/dev/null; then
        echo "none: $reason, and this machine lets no user namespace be made"; return
    fi
    in_namespace "$dir/probe" 2>/dev/null
    case $? in
        0) echo qemu ;;
        125) echo "none: $reason, and binfmt_misc cannot be mounted in a user namespace here (Linux 6.7 or later allows it)" ;;
        *) echo "none: $reason, and qemu-i386 $version does not run an i386 program" ;;
    esac
}

apt_install() {
    $sudo apt-get update -qq &&
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"
}

installed() { dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q "ok installed"; }

# The machine's own Debian suite again, as its backports.
backports_entries() {
    local codename=$1 f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -e "$f" ] || continue
        awk -v suite="$codename" 'BEGIN { RS = ""; ORS = "\n\n" }
             /(^|\n)Types:[^\n]*deb/ && !/deb-src/ && $0 ~ ("(^|\n)Suites:[^\n]* " suite "( |\n|$)") {
                 sub(/(^|\n)Suites:[^\n]*/, "\nSuites: " suite "-backports"); sub(/^\n/, ""); print }' "$f"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -e "$f" ] || continue
        sed -n "s/^deb \(\[[^]]*\] \)\?\([^ ]*\) $codename \(.*\)$/Types: deb\nURIs: \2\nSuites: $codename-backports\nComponents: \3\n/p" "$f"
    done
}

# qemu-user 8 or later: from the suite's backports where the suite itself
# has an older one (Debian 12 has 7.2).
install_qemu() {
    local version codename entries list=/etc/apt/sources.list.d/orv-backports.sources
    version=$(qemu_version)
    [ -n "$version" ] && [ "$version" -ge 8 ] && return 0
    $sudo apt-get update -qq
    candidate() { apt-cache policy qemu-user | sed -n 's/^ *Candidate: \([0-9]*:\)\?\([0-9]*\)\..*/\2/p'; }
    local release=()
    if ! [ "$(candidate)" -ge 8 ] 2>/dev/null; then
        codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
        entries=$(backports_entries "$codename")
        if [ -n "$codename" ] && [ -n "$entries" ] && [ ! -e "$list" ]; then
            echo "Adding Debian's $codename-backports, for qemu-user 8 or later, in $list"
            printf '%s\n' "$entries" | $sudo tee "$list" >/dev/null
        fi
        [ -e "$list" ] && release=(-t "$codename-backports")
    fi
    echo "Installing qemu-user ${release[*]}"
    apt_install "${release[@]}" qemu-user >/dev/null 2>&1 || echo "i386.sh: cannot install qemu-user" >&2
}

install() {
    local found
    found=$(way)
    if [ "$found" != native ] && [ "${found#none: binutils}" = "$found" ]; then
        install_qemu
        found=$(way)
    fi
    case $found in
        native | qemu)
            if ! installed wine32:i386; then
                echo "Installing Debian's 32-bit Wine (wine32:i386)"
                dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
                apt_install wine32:i386 >/dev/null || { echo "i386.sh: cannot install wine32:i386" >&2; exit 1; }
            fi ;;
    esac
    echo "32-bit Windows programs here: $found"
}

case ${1:-} in
    way) way ;;
    install) install ;;
    run) shift; launch=exec in_namespace "$@" ;;
    *) echo "usage: $0 way | install | run PROGRAM [ARGS...]" >&2; exit 2 ;;
esac
