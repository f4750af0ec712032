#ifndef DEVICELIBRARY_H
#define DEVICELIBRARY_H

#include <QString>

// The file of the device library that this process has loaded, as the
// system names it, for support to see which library a run used when
// several lie on a PC; empty before the first call into it.
QString loadedDeviceLibrary();

#endif // DEVICELIBRARY_H
