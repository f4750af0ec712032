#include "librarycheck.h"

// The dynamic linker has bound liborv_api before main, or said why it could
// not and not started the program: nothing is left to check.
LibraryCheck::LibraryCheck(const QString &programFolder)
{
    Q_UNUSED(programFolder)
}
