#include "devicelibrary.h"

#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

QString loadedDeviceLibrary()
{
    // The definition the dynamic linker bound, not a stub in the program.
    void *function = dlsym(RTLD_DEFAULT, "orvGetAPIVersion");
    Dl_info info{};
    if (!function || !dladdr(function, &info) || !info.dli_fname)
        return QString();
    return QDir::cleanPath(QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath());
}
