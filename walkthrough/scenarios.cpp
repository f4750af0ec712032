#include "walkthrough.h"

#include <QStringList>

using namespace orvsim;

namespace {

const QString success = QStringLiteral("Firmware updated successfully.");
const QString failure = QStringLiteral("Firmware updated unsuccessfully.");

bool endsWith(const QStringList &lines, const QString &result)
{
    return lines.size() >= 2 && lines.contains(result) && lines.last() == QLatin1String("You may now close the software.");
}

} // namespace

const QList<Scenario> &scenarios()
{
    static const QList<Scenario> all = {
        {QStringLiteral("typical"), QStringLiteral("firmware 5: Check Versions, then Update"),
         [](Device &) {}, [] {}, QStringLiteral("updateButton"),
         [](const QStringList &lines, const Device &d) {
             return endsWith(lines, success) && d.fx3Store == 7 && d.fpgaStore == 9;
         }},
        {QStringLiteral("up-to-date"), QStringLiteral("firmware 7: nothing to do"),
         [](Device &d) { d.fx3Store = 7; d.fpgaStore = 9; }, [] {}, QString(),
         [](const QStringList &lines, const Device &) {
             return lines.contains(QStringLiteral("Firmware does not require update."));
         }},
        {QStringLiteral("fpga-failed"), QStringLiteral("the FPGA failed to load: Check Versions, then Restore"),
         [](Device &d) { d.fx3Store = 7; d.fpgaStore = 9; d.fpgaStatus = 2; }, [] {}, QStringLiteral("restoreButton"),
         [](const QStringList &lines, const Device &d) {
             return lines.contains(QStringLiteral("FPGA failed to load.")) && endsWith(lines, success) && d.fpgaStatus == 0;
         }},
        {QStringLiteral("bootloader"), QStringLiteral("boot loader only: selection dialog, bootstrap, then Restore"),
         [](Device &d) { d.mode = Mode::BootLoader; d.fx3Store = erased; }, [] {}, QStringLiteral("restoreButton"),
         [](const QStringList &lines, const Device &d) {
             return lines.contains(QStringLiteral("Found serial 25203003")) && endsWith(lines, success)
                    && d.mode == Mode::Normal && d.fx3Store == 7 && d.fpgaStore == 9;
         }},
        {QStringLiteral("absent"), QStringLiteral("no device: selection dialog, and the bootstrap fails"),
         [](Device &d) { d.present = false; }, [] {}, QString(),
         [](const QStringList &lines, const Device &) {
             return lines.contains(QStringLiteral("Failed to detect device."));
         }},
        {QStringLiteral("unplug-fpga"), QStringLiteral("firmware 5, unplugged during the FPGA write: the red result"),
         [](Device &) {}, [] { Simulator::unplugAt(Op::WriteFPGA); }, QStringLiteral("updateButton"),
         [](const QStringList &lines, const Device &d) {
             return lines.contains(QStringLiteral("Failed Writing")) && endsWith(lines, failure) && !d.present
                    && d.fpgaStore == erased;
         }},
    };
    return all;
}
