// Shows and sets up the simulated ORV1600 that real runs of the updater see.

#include "simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <cstdio>

using namespace orvsim;

namespace {

int usage()
{
    std::fprintf(stderr,
        "usage: orv-sim show\n"
        "       orv-sim reset\n"
        "       orv-sim set KEY=VALUE ...\n"
        "\n"
        "reset gives the typical device: firmware 5, FPGA loaded.\n"
        "keys:\n"
        "  firmware=N|erased      the FX3 program in the device's store (N any integer)\n"
        "  fpga-image=N|erased    the FPGA configuration in the device's store\n"
        "  fpga=loaded|failed     the FPGA load status (failed reports status 2)\n"
        "  bootloader=yes|no      the device runs only its boot loader\n"
        "  absent=yes|no          the device is unplugged\n"
        "  serial=N               the device's serial number\n"
        "  fail=OP:STATUS[@N]     the next (or Nth) call of OP returns STATUS\n"
        "  unplug=fx3-write|fpga-write|OP[@N]\n"
        "                         unplug the device during the next FX3 or FPGA write,\n"
        "                         or at the next (or Nth) call of OP\n"
        "  fx3-write-ms=N, fpga-write-ms=N\n"
        "                         how long each write takes\n"
        "  faults=none            drop every pending fault\n"
        "OP is one of GetDeviceList OpenDevice CloseDevice GetFirmwareVersion\n"
        "GetFPGAStatus ClearFx3 WriteFx3 ClearFPGA WriteFPGA Preset Bootstrap.\n"
        "The state is kept in $ORV_SIM_STATE, by default %s.\n",
        qPrintable(QDir::toNativeSeparators(Simulator::statePath())));
    return 2;
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

bool parseStore(const QString &value, int32_t *store)
{
    if (value == QLatin1String("erased")) {
        *store = erased;
        return true;
    }
    bool ok = false;
    const int number = value.toInt(&ok);
    if (ok && number != erased)
        *store = number;
    return ok;
}

// "OP[@N]" into the operation and the call count.
bool parseOpCall(const QString &text, Op *op, int *nth)
{
    const QStringList parts = text.split(QLatin1Char('@'));
    if (parts.size() > 2 || !opFromName(parts[0], op))
        return false;
    *nth = 1;
    if (parts.size() == 2) {
        bool ok = false;
        *nth = parts[1].toInt(&ok);
        return ok && *nth >= 1;
    }
    return true;
}

bool apply(const QString &key, const QString &value, Device &d)
{
    bool yes = false;
    bool ok = false;
    if (key == QLatin1String("firmware")) {
        if (!parseStore(value, &d.fx3Store))
            return false;
        // Without a valid program only the boot loader can run.
        if (d.fx3Store == erased)
            d.mode = Mode::BootLoader;
        return true;
    }
    if (key == QLatin1String("fpga-image")) {
        if (!parseStore(value, &d.fpgaStore))
            return false;
        if (d.fpgaStore == erased)
            d.fpgaStatus = 2;
        return true;
    }
    if (key == QLatin1String("fpga")) {
        if (value != QLatin1String("loaded") && value != QLatin1String("failed"))
            return false;
        d.fpgaStatus = value == QLatin1String("failed") ? 2 : 0;
        return true;
    }
    if (key == QLatin1String("bootloader") && parseYes(value, &yes)) {
        d.mode = yes ? Mode::BootLoader : Mode::Normal;
        return true;
    }
    if (key == QLatin1String("absent") && parseYes(value, &yes)) {
        d.present = !yes;
        return true;
    }
    if (key == QLatin1String("serial")) {
        d.serialNumber = value.toInt(&ok);
        return ok;
    }
    if (key == QLatin1String("fx3-write-ms")) {
        d.fx3WriteMs = value.toInt(&ok);
        return ok && d.fx3WriteMs >= 0;
    }
    if (key == QLatin1String("fpga-write-ms")) {
        d.fpgaWriteMs = value.toInt(&ok);
        return ok && d.fpgaWriteMs >= 0;
    }
    return false;
}

bool applyFault(const QString &key, const QString &value)
{
    Op op;
    int nth = 1;
    if (key == QLatin1String("fail")) {
        // OP:STATUS[@N]
        const QStringList opAndRest = value.split(QLatin1Char(':'));
        if (opAndRest.size() != 2 || !opFromName(opAndRest[0], &op))
            return false;
        const QStringList statusAndCall = opAndRest[1].split(QLatin1Char('@'));
        bool ok = false;
        const int status = statusAndCall[0].toInt(&ok);
        if (!ok || status == 0 || statusAndCall.size() > 2)
            return false;
        if (statusAndCall.size() == 2) {
            nth = statusAndCall[1].toInt(&ok);
            if (!ok || nth < 1)
                return false;
        }
        Simulator::failCall(op, ORVStatus(status), nth);
        return true;
    }
    if (key == QLatin1String("unplug")) {
        if (value == QLatin1String("fx3-write"))
            Simulator::unplugAt(Op::WriteFx3);
        else if (value == QLatin1String("fpga-write"))
            Simulator::unplugAt(Op::WriteFPGA);
        else if (parseOpCall(value, &op, &nth))
            Simulator::unplugAt(op, nth);
        else
            return false;
        return true;
    }
    if (key == QLatin1String("faults") && value == QLatin1String("none")) {
        Simulator::clearFaults();
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();

    const QString path = Simulator::statePath();
    const QString &command = args[0];
    if (command == QLatin1String("reset") && args.size() == 1) {
        Simulator::reset(Device::typical());
    } else if (command == QLatin1String("show") && args.size() == 1) {
        if (!Simulator::usePersistentState(path)) {
            std::fprintf(stderr, "orv-sim: cannot read %s\n", qPrintable(path));
            return 1;
        }
    } else if (command == QLatin1String("set") && args.size() > 1) {
        if (!Simulator::usePersistentState(path)) {
            std::fprintf(stderr, "orv-sim: cannot read %s\n", qPrintable(path));
            return 1;
        }
        Device d = Simulator::device();
        for (const QString &pair : args.mid(1)) {
            const int eq = pair.indexOf(QLatin1Char('='));
            const QString key = pair.left(eq);
            const QString value = pair.mid(eq + 1);
            if (eq < 1 || !(apply(key, value, d) || applyFault(key, value))) {
                std::fprintf(stderr, "orv-sim: cannot set %s\n", qPrintable(pair));
                return usage();
            }
        }
        Simulator::setDevice(d);
    } else {
        return usage();
    }

    if (command != QLatin1String("show") && !Simulator::saveState(path)) {
        std::fprintf(stderr, "orv-sim: cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("%s%s", qPrintable(QStringLiteral("state file:  %1\n").arg(QDir::toNativeSeparators(path))),
                qPrintable(Simulator::describe()));
    return 0;
}
