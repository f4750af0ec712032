#ifndef ORVSIM_SCENARIOS_H
#define ORVSIM_SCENARIOS_H

// The runs a technician rehearses: `orv-sim scenario NAME` sets up the
// device of real runs so, and the walk-through its own.

#include "simulator.h"

namespace orvsim {

struct Scenario
{
    QString name;
    QString description; // the device, and what the operator does
    // Turns a device of firmware 5 with its FPGA loaded, plugged in and
    // with no fault pending, into the scenario's.
    void (*setUp)(Device &device, QVector<Fault> &faults);
};

const QVector<Scenario> &scenarios();
// The scenario of that name, or null.
const Scenario *findScenario(const QString &name);

} // namespace orvsim

#endif
