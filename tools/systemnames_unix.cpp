#include "systemnames.h"

QString deviceLibraryFileName()
{
    return QStringLiteral("liborv_api.so");
}

QString environmentVariable(const QString &name)
{
    return QLatin1Char('$') + name;
}
