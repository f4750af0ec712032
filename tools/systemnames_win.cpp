#include "systemnames.h"

QString deviceLibraryFileName()
{
    return QStringLiteral("orv_api.dll");
}

QString environmentVariable(const QString &name)
{
    return QLatin1Char('%') + name + QLatin1Char('%');
}
