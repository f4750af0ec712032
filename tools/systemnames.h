#ifndef SYSTEMNAMES_H
#define SYSTEMNAMES_H

#include <QString>

// What orv-sim names as this system does: systemnames_win.cpp,
// systemnames_unix.cpp.

// The simulated device library's file name, beside orv-sim.
QString deviceLibraryFileName();

// An environment variable as a command reads it (%NAME%, $NAME).
QString environmentVariable(const QString &name);

#endif // SYSTEMNAMES_H
