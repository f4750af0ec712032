// Shows and sets up the simulated ORV1600 that real runs of the updater see.

#include "firmwarerelease.h"
#include "scenarios.h"
#include "simulator.h"
#include "systemnames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <cstdio>

using namespace orvsim;

namespace {

using Change = std::function<void(Device &, QVector<Fault> &)>;

// The firmware numbers of the release's table, as "2, 3, ...".
QString tableFirmware()
{
    QStringList numbers;
    for (int32_t firmware = 0; firmware < 1000; ++firmware) {
        if (fpgaVersionFor(firmware).fx3 == firmware && firmware != 0)
            numbers << QString::number(firmware);
    }
    return numbers.join(QStringLiteral(", "));
}

int usage()
{
    std::fprintf(stderr,
        "usage: orv-sim show\n"
        "       orv-sim reset\n"
        "       orv-sim scenario NAME\n"
        "       orv-sim set KEY=VALUE ...\n"
        "\n"
        "reset gives the typical device: firmware 5, FPGA loaded.\n"
        "scenario NAME gives the typical device set up for one of these runs:\n");
    for (const Scenario &scenario : scenarios())
        std::fprintf(stderr, "  %-12s %s\n", qPrintable(scenario.name), qPrintable(scenario.description));
    std::fprintf(stderr,
        "keys:\n"
        "  firmware=N|erased      the FX3 program in the device's store, running (N any\n"
        "                         32-bit integer but -2147483648). For a firmware of the\n"
        "                         release's table (%s) the FPGA store gets the\n"
        "                         configuration that goes with it, loaded; any other\n"
        "                         number leaves the FPGA as it is. fpga-image=, fpga= and\n"
        "                         bootloader= in the same command have the last word\n"
        "  fpga-image=N|erased    the FPGA configuration in the device's store\n"
        "  fpga=loaded|failed     the FPGA load status (failed reports status 2)\n"
        "  bootloader=yes|no      the device runs only its boot loader\n"
        "  absent=yes|no          the device is unplugged (no: plugged in again)\n"
        "  serial=N               the device's serial number\n"
        "  fail=OP:STATUS[@N]     the next (or Nth) call of OP returns STATUS (not 0)\n"
        "  unplug=fx3-write|fpga-write|OP[@N]\n"
        "                         unplug the device during the next FX3 or FPGA write,\n"
        "                         or at the next (or Nth) call of OP\n"
        "  fx3-write-ms=N, fpga-write-ms=N\n"
        "                         how long each write takes, 0 to %d\n"
        "  faults=none            drop every pending fault\n"
        "OP is one of GetDeviceList OpenDevice CloseDevice GetFirmwareVersion\n"
        "GetFPGAStatus ClearFx3 WriteFx3 ClearFPGA WriteFPGA Preset Bootstrap.\n"
        "The state is kept in %s, by default %s.\n",
        qPrintable(tableFirmware()), maxWriteMs, qPrintable(environmentVariable(QStringLiteral("ORV_SIM_STATE"))),
        qPrintable(QDir::toNativeSeparators(Simulator::statePath())));
    return 2;
}

// orv-sim carries its own copy of the simulated device; what it sets up is
// what the simulated library beside it reads. Beside any other library (the
// maker's, copied over it) there is no simulated device to set up. The
// library is read, not called: any call of the simulated device acts on the
// state file.
bool besideSimulatedDevice()
{
    QFile library(QCoreApplication::applicationDirPath() + QLatin1Char('/') + deviceLibraryFileName());
    // The simulated device's version text, as orvGetAPIVersion gives it.
    if (!library.exists() || (library.open(QIODevice::ReadOnly) && library.readAll().contains("-simulator (")))
        return true;
    std::fprintf(stderr, "orv-sim: %s is not the simulated device (the maker's library?); orv-sim sets up only the "
                         "simulated device\n",
                 qPrintable(QDir::toNativeSeparators(library.fileName())));
    return false;
}

bool parseYes(const QString &value, bool *yes)
{
    if (value == QLatin1String("yes") || value == QLatin1String("1") || value == QLatin1String("true")) {
        *yes = true;
        return true;
    }
    if (value == QLatin1String("no") || value == QLatin1String("0") || value == QLatin1String("false")) {
        *yes = false;
        return true;
    }
    return false;
}

// A version, or erased; the one number that stands for erased is refused.
bool parseStore(const QString &value, int32_t *store)
{
    if (value == QLatin1String("erased")) {
        *store = erased;
        return true;
    }
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number == erased)
        return false;
    *store = number;
    return true;
}

bool parseNumber(const QString &value, int min, int max, int *number)
{
    bool ok = false;
    *number = value.toInt(&ok);
    return ok && *number >= min && *number <= max;
}

// "OP[@N]" into the operation and the call count.
bool parseOpCall(const QString &text, Op *op, int *nth)
{
    const QStringList parts = text.split(QLatin1Char('@'));
    if (parts.size() > 2 || !opFromName(parts[0], op))
        return false;
    *nth = 1;
    return parts.size() == 1 || parseNumber(parts[1], 1, INT32_MAX, nth);
}

// What KEY=VALUE does to the device, or false when it is not understood.
// keys holds every key of the command, for firmware's last word.
bool parse(const QString &key, const QString &value, const QStringList &keys, Change *change)
{
    bool yes = false;
    int number = 0;
    int32_t store = 0;
    Op op = Op::OpenDevice;
    int nth = 1;
    if (key == QLatin1String("firmware") && parseStore(value, &store)) {
        const bool table = fpgaVersionFor(store).fx3 != 0;
        const int32_t fpga = fpgaVersionFor(store).fpga;
        const bool setsImage = !keys.contains(QStringLiteral("fpga-image"));
        const bool setsStatus = !keys.contains(QStringLiteral("fpga"));
        const bool setsMode = !keys.contains(QStringLiteral("bootloader"));
        *change = [=](Device &d, QVector<Fault> &) {
            d.fx3Store = store;
            // Without a valid program only the boot loader can run.
            if (store == erased)
                d.mode = Mode::BootLoader;
            else if (setsMode)
                d.mode = Mode::Normal;
            if (table && setsImage)
                d.fpgaStore = fpga;
            if (table && setsStatus)
                d.fpgaStatus = 0;
        };
        return true;
    }
    if (key == QLatin1String("fpga-image") && parseStore(value, &store)) {
        *change = [=](Device &d, QVector<Fault> &) {
            d.fpgaStore = store;
            if (store == erased)
                d.fpgaStatus = Release::fpgaLoadFailed;
        };
        return true;
    }
    if (key == QLatin1String("fpga") && (value == QLatin1String("loaded") || value == QLatin1String("failed"))) {
        const int32_t status = value == QLatin1String("failed") ? Release::fpgaLoadFailed : 0;
        *change = [=](Device &d, QVector<Fault> &) { d.fpgaStatus = status; };
        return true;
    }
    if (key == QLatin1String("bootloader") && parseYes(value, &yes)) {
        *change = [=](Device &d, QVector<Fault> &) { d.mode = yes ? Mode::BootLoader : Mode::Normal; };
        return true;
    }
    if (key == QLatin1String("absent") && parseYes(value, &yes)) {
        *change = [=](Device &d, QVector<Fault> &) { d.present = !yes; };
        return true;
    }
    if (key == QLatin1String("serial") && parseNumber(value, INT32_MIN, INT32_MAX, &number)) {
        *change = [=](Device &d, QVector<Fault> &) { d.serialNumber = number; };
        return true;
    }
    if (key == QLatin1String("fx3-write-ms") && parseNumber(value, 0, maxWriteMs, &number)) {
        *change = [=](Device &d, QVector<Fault> &) { d.fx3WriteMs = number; };
        return true;
    }
    if (key == QLatin1String("fpga-write-ms") && parseNumber(value, 0, maxWriteMs, &number)) {
        *change = [=](Device &d, QVector<Fault> &) { d.fpgaWriteMs = number; };
        return true;
    }
    if (key == QLatin1String("fail")) {
        // OP:STATUS[@N]
        const QStringList opAndRest = value.split(QLatin1Char(':'));
        if (opAndRest.size() != 2 || !opFromName(opAndRest[0], &op))
            return false;
        const QStringList statusAndCall = opAndRest[1].split(QLatin1Char('@'));
        int status = 0;
        if (statusAndCall.size() > 2 || !parseNumber(statusAndCall[0], INT32_MIN, INT32_MAX, &status) || status == 0)
            return false;
        if (statusAndCall.size() == 2 && !parseNumber(statusAndCall[1], 1, INT32_MAX, &nth))
            return false;
        *change = [=](Device &, QVector<Fault> &faults) { faults.append(Fault{op, nth, ORVStatus(status), false}); };
        return true;
    }
    if (key == QLatin1String("unplug")) {
        if (value == QLatin1String("fx3-write"))
            op = Op::WriteFx3;
        else if (value == QLatin1String("fpga-write"))
            op = Op::WriteFPGA;
        else if (!parseOpCall(value, &op, &nth))
            return false;
        *change = [=](Device &, QVector<Fault> &faults) { faults.append(Fault{op, nth, ORV_NO_DEVICE, true}); };
        return true;
    }
    if (key == QLatin1String("faults") && value == QLatin1String("none")) {
        *change = [](Device &, QVector<Fault> &faults) { faults.clear(); };
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!besideSimulatedDevice())
        return 1;
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();

    // The library says on stderr what is wrong with the state file.
    const QString path = Simulator::statePath();
    const QString &command = args[0];
    if (command == QLatin1String("show") && args.size() == 1) {
        if (!Simulator::usePersistentState(path, Access::ReadOnly))
            return 1;
    } else if ((command == QLatin1String("reset") && args.size() == 1)
               || (command == QLatin1String("scenario") && args.size() == 2)) {
        // reset is the typical scenario.
        const Scenario *scenario = findScenario(args.value(1, QStringLiteral("typical")));
        if (!scenario) {
            std::fprintf(stderr, "orv-sim: no scenario %s\n", qPrintable(args[1]));
            return usage();
        }
        Simulator::reset(Device::typical());
        Simulator::edit(scenario->setUp);
        if (!Simulator::saveState(path) || !Simulator::usePersistentState(path, Access::ReadOnly))
            return 1;
    } else if (command == QLatin1String("set") && args.size() > 1) {
        QStringList keys;
        for (const QString &pair : args.mid(1))
            keys << pair.section(QLatin1Char('='), 0, 0);
        QVector<Change> changes;
        for (const QString &pair : args.mid(1)) {
            const int eq = pair.indexOf(QLatin1Char('='));
            Change change;
            if (eq < 1 || !parse(pair.left(eq), pair.mid(eq + 1), keys, &change)) {
                std::fprintf(stderr, "orv-sim: cannot set %s\n", qPrintable(pair));
                return usage();
            }
            changes << change;
        }
        const bool applied = Simulator::usePersistentState(path) && Simulator::edit([&](Device &d, QVector<Fault> &faults) {
            for (const Change &change : changes)
                change(d, faults);
        });
        if (!applied)
            return 1;
    } else {
        return usage();
    }

    const QString file = QDir::toNativeSeparators(path);
    if (Simulator::stateFileExists())
        std::printf("state file:  %s\n", qPrintable(file));
    else
        std::printf("state file:  %s (none yet; the first run makes it with this device)\n", qPrintable(file));
    std::printf("%s", qPrintable(Simulator::describe()));
    return 0;
}
