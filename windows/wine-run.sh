#!/bin/bash
# Runs a cross-built Windows program under Wine, as CTest's emulator:
#   wine-run.sh [--bits 32] --path DIR:DIR... --plugins QT_PLUGIN_DIR PROGRAM.exe ARGS...
# The folders of Qt's and the compiler's DLLs go on Wine's search path; a
# 32-bit program runs in a 32-bit prefix.
# Qt Test's output goes missing on a pipe under Wine, so a test program
# writes it to a file, which is printed once it ends.
set -u
# Wine shows the root of the file system as drive Z:.
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }
while [ $# -gt 0 ]; do
    case $1 in
        --bits) export ORV_WINDOWS_BITS=$2; shift 2 ;;
        --path)
            WINEPATH=
            for dir in ${2//:/ }; do WINEPATH="$WINEPATH${WINEPATH:+;}$(windows_path "$dir")"; done
            export WINEPATH
            shift 2 ;;
        --plugins) QT_PLUGIN_PATH=$(windows_path "$2"); export QT_PLUGIN_PATH; shift 2 ;;
        *) break ;;
    esac
done
program=$1
shift
export WINEDEBUG=${WINEDEBUG:--all}
# Wine keeps the build machine's QT_ variables from Windows programs; it
# hands on WINEQT_ ones under the QT_ name.
for name in $(compgen -e | grep '^QT_'); do export "WINE$name=${!name}"; done
. "$(dirname "${BASH_SOURCE[0]}")/wine.sh"

case $(basename "$program") in
    tst_*)
        out=$(mktemp)
        "$wine" "$program" -o "$(windows_path "$out"),txt" "$@"
        code=$?
        cat "$out"
        rm -f "$out"
        exit $code ;;
    *)
        exec "$wine" "$program" "$@" ;;
esac
