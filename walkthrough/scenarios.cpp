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

const OperatorRun *operatorRunIn(const QString &scenario)
{
    static const QList<OperatorRun> all = {
        {QStringLiteral("typical"), QStringLiteral("updateButton"),
         [](const QStringList &lines, const Device &d) {
             return endsWith(lines, success) && d.fx3Store == 7 && d.fpgaStore == 9;
         }},
        {QStringLiteral("up-to-date"), QString(),
         [](const QStringList &lines, const Device &) {
             return lines.contains(QStringLiteral("Firmware does not require update."));
         }},
        {QStringLiteral("fpga-failed"), QStringLiteral("restoreButton"),
         [](const QStringList &lines, const Device &d) {
             return lines.contains(QStringLiteral("FPGA failed to load.")) && endsWith(lines, success) && d.fpgaStatus == 0;
         }},
        {QStringLiteral("bootloader"), QStringLiteral("restoreButton"),
         [](const QStringList &lines, const Device &d) {
             return lines.contains(QStringLiteral("Found serial 25203003")) && endsWith(lines, success)
                    && d.mode == Mode::Normal && d.fx3Store == 7 && d.fpgaStore == 9;
         }},
        {QStringLiteral("absent"), QString(),
         [](const QStringList &lines, const Device &) {
             return lines.contains(QStringLiteral("Failed to detect device."));
         }},
        {QStringLiteral("unplug-fpga"), QStringLiteral("updateButton"),
         [](const QStringList &lines, const Device &d) {
             return lines.contains(QStringLiteral("Failed Writing")) && endsWith(lines, failure) && !d.present
                    && d.fpgaStore == erased;
         }},
    };
    for (const OperatorRun &run : all) {
        if (run.scenario == scenario)
            return &run;
    }
    return nullptr;
}
