#!/bin/bash
# Wine's 32-bit loader, run the way this machine runs 32-bit programs
# (i386.sh): natively, or through qemu-i386. Takes the loader's arguments.
here=$(dirname "$0")
loader=${WINE32:-/usr/lib/wine/wine}
way=${ORV_I386_FOUND:-$(bash "$here/i386.sh" way)}
case $way in
    native) exec "$loader" "$@" ;;
    qemu) exec bash "$here/i386.sh" run "$loader" "$@" ;;
    *) echo "wine32.sh: this machine runs no 32-bit program: ${way#none: }" >&2; exit 127 ;;
esac
