#include "writeresult.h"

namespace {

QString storeText(const char *name, WriteResult::Store store)
{
    QString component = QString::fromLatin1(name);
    switch (store) {
    case WriteResult::Store::Untouched:
        return QStringLiteral("%1 untouched").arg(component);
    case WriteResult::Store::EraseFailed:
        return QStringLiteral("%1 erase failed").arg(component);
    case WriteResult::Store::Erased:
        return QStringLiteral("%1 erased").arg(component);
    case WriteResult::Store::Written:
        return QStringLiteral("%1 written").arg(component);
    }
    return component;
}

} // namespace

QString WriteResult::storesText() const
{
    return storeText("FX3", fx3) + QStringLiteral(", ") + storeText("FPGA", fpga);
}
