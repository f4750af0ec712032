#ifndef PROCESSUSAGE_H
#define PROCESSUSAGE_H

// What the bench reads of its own process, as each system keeps it:
// processusage_win.cpp, processusage_unix.cpp.

// CPU time of the calling thread so far, in milliseconds.
double threadCpuMs();

// The process's peak resident memory so far, in KiB.
long peakRssKiB();

#endif // PROCESSUSAGE_H
