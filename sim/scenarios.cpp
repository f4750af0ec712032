#include "scenarios.h"

#include "firmwarerelease.h"

namespace orvsim {

const QVector<Scenario> &scenarios()
{
    static const QVector<Scenario> all = {
        {QStringLiteral("typical"), QStringLiteral("firmware 5: Check Versions, then Update"),
         [](Device &, QVector<Fault> &) {}},
        {QStringLiteral("up-to-date"), QStringLiteral("firmware 7: nothing to do"),
         [](Device &d, QVector<Fault> &) { d.fx3Store = 7; d.fpgaStore = 9; }},
        {QStringLiteral("fpga-failed"), QStringLiteral("the FPGA failed to load: Check Versions, then Restore"),
         [](Device &d, QVector<Fault> &) { d.fx3Store = 7; d.fpgaStore = 9; d.fpgaStatus = Release::fpgaLoadFailed; }},
        {QStringLiteral("bootloader"), QStringLiteral("boot loader only: selection dialog, bootstrap, then Restore"),
         [](Device &d, QVector<Fault> &) { d.mode = Mode::BootLoader; d.fx3Store = erased; }},
        {QStringLiteral("absent"), QStringLiteral("no device: selection dialog, and the bootstrap fails"),
         [](Device &d, QVector<Fault> &) { d.present = false; }},
        {QStringLiteral("unplug-fpga"), QStringLiteral("firmware 5, unplugged during the FPGA write: the red result"),
         [](Device &, QVector<Fault> &faults) { faults.append(Fault{Op::WriteFPGA, 1, ORV_NO_DEVICE, true}); }},
    };
    return all;
}

const Scenario *findScenario(const QString &name)
{
    for (const Scenario &scenario : scenarios()) {
        if (scenario.name == name)
            return &scenario;
    }
    return nullptr;
}

} // namespace orvsim
