#ifndef ORVSIM_SCENARIOS_H
#define ORVSIM_SCENARIOS_H

// The runs a technician rehearses: `orv-sim scenario NAME` sets up the
// device of real runs so, and the walk-through its own, which it then works
// as the operator would and checks.

#include "simulator.h"

#include <QStringList>

namespace orvsim {

struct Scenario
{
    QString name;
    QString description; // the device, and what the operator does
    // Turns a device of firmware 5 with its FPGA loaded, plugged in and
    // with no fault pending, into the scenario's.
    void (*setUp)(Device &device, QVector<Fault> &faults);
    // The button the operator presses after Check Versions, as it reads,
    // or none.
    QString command;
    // A run that ends as it should: lines the updater's log shows, and the
    // device afterwards.
    QStringList outcome;
    bool (*deviceAfter)(const Device &device);
};

const QVector<Scenario> &scenarios();
// The scenario of that name, or null.
const Scenario *findScenario(const QString &name);

} // namespace orvsim

#endif
