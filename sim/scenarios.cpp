#include "scenarios.h"

#include "firmwarerelease.h"

namespace orvsim {

const QVector<Scenario> &scenarios()
{
    const QString updated = QStringLiteral("Firmware updated successfully.");
    static const QVector<Scenario> all = {
        {QStringLiteral("typical"), QStringLiteral("firmware 5: Check Versions, then Update"),
         [](Device &, QVector<Fault> &) {},
         QStringLiteral("Update"), {updated},
         [](const Device &d) { return d.fx3Store == 7 && d.fpgaStore == 9; }},
        {QStringLiteral("up-to-date"), QStringLiteral("firmware 7: nothing to do"),
         [](Device &d, QVector<Fault> &) { d.fx3Store = 7; d.fpgaStore = 9; },
         QString(), {QStringLiteral("Firmware does not require update.")},
         [](const Device &d) { return d.fx3Store == 7 && d.fpgaStore == 9; }},
        {QStringLiteral("fpga-failed"), QStringLiteral("the FPGA failed to load: Check Versions, then Restore"),
         [](Device &d, QVector<Fault> &) { d.fx3Store = 7; d.fpgaStore = 9; d.fpgaStatus = Release::fpgaLoadFailed; },
         QStringLiteral("Restore"), {QStringLiteral("FPGA failed to load."), updated},
         [](const Device &d) { return d.fpgaStatus == 0; }},
        {QStringLiteral("bootloader"), QStringLiteral("boot loader only: selection dialog, bootstrap, then Restore"),
         [](Device &d, QVector<Fault> &) { d.mode = Mode::BootLoader; d.fx3Store = erased; },
         QStringLiteral("Restore"), {QStringLiteral("Found serial %1").arg(Release::bootstrapSerialNumber), updated},
         [](const Device &d) { return d.mode == Mode::Normal && d.fx3Store == 7 && d.fpgaStore == 9; }},
        {QStringLiteral("absent"), QStringLiteral("no device: selection dialog, and the bootstrap fails"),
         [](Device &d, QVector<Fault> &) { d.present = false; },
         QString(), {QStringLiteral("Failed to detect device.")},
         [](const Device &d) { return !d.present; }},
        {QStringLiteral("unplug-fpga"), QStringLiteral("firmware 5, unplugged during the FPGA write: the red result"),
         [](Device &, QVector<Fault> &faults) { faults.append(Fault{Op::WriteFPGA, 1, ORV_NO_DEVICE, true}); },
         QStringLiteral("Update"), {QStringLiteral("Failed Writing"), QStringLiteral("Firmware updated unsuccessfully.")},
         [](const Device &d) { return !d.present && d.fpgaStore == erased; }},
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
