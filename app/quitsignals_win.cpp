#include "quitsignals.h"

// Windows has no such signals. A shutdown or log-off comes as Qt's commit
// data request, which the window answers (mainwindow.cpp).
QuitSignals::QuitSignals(QObject *parent)
    : QObject(parent)
{
}

QuitSignals::~QuitSignals() = default;
