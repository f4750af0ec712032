// The simulated ORV1600 behind the orv_api functions.

#include "firmwareimage.h"
#include "simulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace orvsim {

namespace {

const char apiVersion[] = "1.0.0-simulator (no hardware)";

const Op allOps[] = {Op::GetDeviceList, Op::OpenDevice,      Op::CloseDevice, Op::GetFirmwareVersion,
                     Op::GetFPGAStatus, Op::ClearFx3,        Op::WriteFx3,    Op::ClearFPGA,
                     Op::WriteFPGA,     Op::Preset,          Op::Bootstrap};

struct State
{
    QMutex mutex;
    bool configured = false;
    bool persistent = false;
    QString path;
    Device device;
    QVector<Fault> faults;
    QVector<Call> calls;
    QVector<int32_t> handles;
    int32_t nextHandle = 1;
};

State &state()
{
    static State s;
    return s;
}

QJsonValue storeToJson(int32_t store)
{
    return store == erased ? QJsonValue(QStringLiteral("erased")) : QJsonValue(store);
}

int32_t storeFromJson(const QJsonValue &value, int32_t fallback)
{
    if (value.toString() == QLatin1String("erased"))
        return erased;
    return value.isDouble() ? value.toInt() : fallback;
}

QJsonObject toJson(const State &s)
{
    const Device &d = s.device;
    QJsonObject o;
    o[QStringLiteral("present")] = d.present;
    o[QStringLiteral("mode")] = d.mode == Mode::Normal ? QStringLiteral("normal") : QStringLiteral("bootloader");
    o[QStringLiteral("serialNumber")] = d.serialNumber;
    o[QStringLiteral("fx3Store")] = storeToJson(d.fx3Store);
    o[QStringLiteral("fpgaStore")] = storeToJson(d.fpgaStore);
    o[QStringLiteral("fpgaStatus")] = d.fpgaStatus;
    o[QStringLiteral("fx3WriteMs")] = d.fx3WriteMs;
    o[QStringLiteral("fpgaWriteMs")] = d.fpgaWriteMs;
    QJsonArray others;
    for (int32_t serial : d.otherSerialNumbers)
        others.append(serial);
    o[QStringLiteral("otherSerialNumbers")] = others;
    QJsonArray faults;
    for (const Fault &f : s.faults) {
        QJsonObject fo;
        fo[QStringLiteral("op")] = opName(f.op);
        fo[QStringLiteral("callsLeft")] = f.callsLeft;
        fo[QStringLiteral("status")] = int(f.status);
        fo[QStringLiteral("unplug")] = f.unplug;
        faults.append(fo);
    }
    o[QStringLiteral("faults")] = faults;
    return o;
}

void fromJson(State &s, const QJsonObject &o)
{
    Device d = Device::typical();
    d.present = o.value(QStringLiteral("present")).toBool(d.present);
    d.mode = o.value(QStringLiteral("mode")).toString() == QLatin1String("bootloader") ? Mode::BootLoader
                                                                                         : Mode::Normal;
    d.serialNumber = o.value(QStringLiteral("serialNumber")).toInt(d.serialNumber);
    d.fx3Store = storeFromJson(o.value(QStringLiteral("fx3Store")), d.fx3Store);
    d.fpgaStore = storeFromJson(o.value(QStringLiteral("fpgaStore")), d.fpgaStore);
    d.fpgaStatus = o.value(QStringLiteral("fpgaStatus")).toInt(d.fpgaStatus);
    d.fx3WriteMs = o.value(QStringLiteral("fx3WriteMs")).toInt(d.fx3WriteMs);
    d.fpgaWriteMs = o.value(QStringLiteral("fpgaWriteMs")).toInt(d.fpgaWriteMs);
    for (const auto &v : o.value(QStringLiteral("otherSerialNumbers")).toArray())
        d.otherSerialNumbers.append(v.toInt());

    // Power-up: without a valid FX3 program only the boot loader runs, and
    // an FPGA without a configuration cannot load.
    if (d.fx3Store == erased)
        d.mode = Mode::BootLoader;
    if (d.fpgaStore == erased)
        d.fpgaStatus = 2;
    s.device = d;

    s.faults.clear();
    for (const auto &v : o.value(QStringLiteral("faults")).toArray()) {
        const QJsonObject fo = v.toObject();
        Fault f;
        if (!opFromName(fo.value(QStringLiteral("op")).toString(), &f.op))
            continue;
        f.callsLeft = std::max(1, fo.value(QStringLiteral("callsLeft")).toInt(1));
        f.status = ORVStatus(fo.value(QStringLiteral("status")).toInt(ORV_ERROR));
        f.unplug = fo.value(QStringLiteral("unplug")).toBool();
        s.faults.append(f);
    }
}

bool saveLocked(const State &s, const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(toJson(s)).toJson());
    return file.commit();
}

bool loadLocked(State &s, const QString &path)
{
    s.configured = true;
    s.persistent = true;
    s.path = path;
    s.handles.clear();
    s.calls.clear();
    QFile file(path);
    if (!file.exists()) {
        s.device = Device::typical();
        s.faults.clear();
        return saveLocked(s, path);
    }
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        std::fprintf(stderr, "orv-sim: %s is not a device state file; starting from the typical device\n",
                     qPrintable(QDir::toNativeSeparators(path)));
        s.device = Device::typical();
        s.faults.clear();
        return saveLocked(s, path);
    }
    fromJson(s, doc.object());
    return true;
}

// Every library entry point runs under the lock, through this.
class Entry
{
public:
    explicit Entry(const Call &call)
        : s(state()), lock(&s.mutex)
    {
        if (!s.configured)
            loadLocked(s, Simulator::statePath());
        index = s.calls.size();
        s.calls.append(call);
        takeFault(call.op);
    }

    ORVStatus finish(ORVStatus status)
    {
        if (index < s.calls.size())
            s.calls[index].status = status;
        if (s.persistent)
            saveLocked(s, s.path);
        return status;
    }

    void setHandle(int32_t handle)
    {
        if (index < s.calls.size())
            s.calls[index].handle = handle;
    }

    bool isOpen(int32_t handle) const { return s.device.present && s.handles.contains(handle); }

    int32_t openHandle()
    {
        const int32_t handle = s.nextHandle++;
        s.handles.append(handle);
        setHandle(handle);
        return handle;
    }

    // For calls that take no time: an injected failure, or an unplug that the
    // call then finds.
    bool failsNow()
    {
        if (cutOff)
            unplug();
        return injectedFailure;
    }

    void unplug()
    {
        s.device.present = false;
        s.handles.clear();
    }

    State &s;
    QMutexLocker lock;
    bool injectedFailure = false;
    bool cutOff = false;
    ORVStatus injectedStatus = ORV_SUCCESS;

private:
    void takeFault(Op op)
    {
        for (int i = 0; i < s.faults.size();) {
            Fault &f = s.faults[i];
            if (f.op == op && --f.callsLeft <= 0) {
                if (!injectedFailure && !cutOff) {
                    cutOff = f.unplug;
                    injectedFailure = !f.unplug;
                    injectedStatus = f.status;
                }
                s.faults.removeAt(i);
                continue;
            }
            ++i;
        }
    }

    int index = 0;
};

Call makeCall(Op op, int32_t handle = -1)
{
    Call call;
    call.op = op;
    call.handle = handle;
    return call;
}

QString pathText(const char *path)
{
    return path ? QString::fromLocal8Bit(path) : QString();
}

template<typename Read>
ORVStatus readValue(Op op, int32_t handle, int32_t *value, Read read)
{
    Entry e(makeCall(op, handle));
    if (e.failsNow())
        return e.finish(e.injectedStatus);
    if (!e.isOpen(handle))
        return e.finish(ORV_INVALID_HANDLE);
    if (!value)
        return e.finish(ORV_INVALID_ARGUMENT);
    *value = read(e.s.device);
    return e.finish(ORV_SUCCESS);
}

ORVStatus clearStore(Op op, int32_t handle)
{
    Entry e(makeCall(op, handle));
    if (e.injectedFailure)
        return e.finish(e.injectedStatus);
    if (!e.isOpen(handle))
        return e.finish(ORV_INVALID_HANDLE);
    int32_t &store = op == Op::ClearFx3 ? e.s.device.fx3Store : e.s.device.fpgaStore;
    store = erased;
    if (e.cutOff) {
        e.unplug();
        return e.finish(ORV_NO_DEVICE);
    }
    return e.finish(ORV_SUCCESS);
}

ORVStatus writeStore(Op op, int32_t handle, const char *imagePath, int32_t serialNumber)
{
    Call call = makeCall(op, handle);
    call.path = pathText(imagePath);
    call.serialNumber = op == Op::WriteFx3 ? serialNumber : 0;
    Entry e(call);
    if (e.injectedFailure)
        return e.finish(e.injectedStatus);
    if (!e.isOpen(handle))
        return e.finish(ORV_INVALID_HANDLE);
    if (!imagePath)
        return e.finish(ORV_INVALID_ARGUMENT);

    const bool fx3 = op == Op::WriteFx3;
    if ((fx3 ? e.s.device.fx3Store : e.s.device.fpgaStore) != erased)
        return e.finish(ORV_NOT_ERASED);
    const ImageInfo image = readImageFile(call.path);
    if (!image.valid || image.component != (fx3 ? Component::Fx3 : Component::Fpga))
        return e.finish(ORV_BAD_IMAGE);

    // The write takes its time without holding the lock, so that the device
    // can be unplugged (or looked at) meanwhile.
    const int duration = fx3 ? e.s.device.fx3WriteMs : e.s.device.fpgaWriteMs;
    const int cutAt = e.cutOff ? duration / 2 : -1;
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        if (!e.isOpen(handle))
            return e.finish(ORV_NO_DEVICE);
        const qint64 done = elapsed.elapsed();
        if (e.cutOff && done >= cutAt) {
            e.unplug();
            return e.finish(ORV_NO_DEVICE);
        }
        if (done >= duration)
            break;
        e.lock.unlock();
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(10, duration - done)));
        e.lock.relock();
    }

    if (fx3) {
        e.s.device.fx3Store = image.version;
        // The serial number is kept with the FX3 program.
        e.s.device.serialNumber = serialNumber;
    } else {
        e.s.device.fpgaStore = image.version;
    }
    return e.finish(ORV_SUCCESS);
}

} // namespace

Device Device::typical()
{
    Device d;
    d.fx3WriteMs = 2000;
    d.fpgaWriteMs = 4000;
    return d;
}

QString opName(Op op)
{
    switch (op) {
    case Op::GetDeviceList: return QStringLiteral("GetDeviceList");
    case Op::OpenDevice: return QStringLiteral("OpenDevice");
    case Op::CloseDevice: return QStringLiteral("CloseDevice");
    case Op::GetFirmwareVersion: return QStringLiteral("GetFirmwareVersion");
    case Op::GetFPGAStatus: return QStringLiteral("GetFPGAStatus");
    case Op::ClearFx3: return QStringLiteral("ClearFx3");
    case Op::WriteFx3: return QStringLiteral("WriteFx3");
    case Op::ClearFPGA: return QStringLiteral("ClearFPGA");
    case Op::WriteFPGA: return QStringLiteral("WriteFPGA");
    case Op::Preset: return QStringLiteral("Preset");
    case Op::Bootstrap: return QStringLiteral("Bootstrap");
    }
    return QString();
}

bool opFromName(const QString &name, Op *op)
{
    for (Op candidate : allOps) {
        if (opName(candidate).compare(name, Qt::CaseInsensitive) == 0) {
            *op = candidate;
            return true;
        }
    }
    return false;
}

QString Call::toString() const
{
    QString text = opName(op);
    switch (op) {
    case Op::GetDeviceList:
        text += QStringLiteral("(count=%1)").arg(count);
        break;
    case Op::OpenDevice:
        text += QStringLiteral("(serial=%1) handle=%2").arg(serialNumber).arg(handle);
        break;
    case Op::WriteFx3:
        text += QStringLiteral("(handle=%1, %2, serial=%3)").arg(handle).arg(path).arg(serialNumber);
        break;
    case Op::WriteFPGA:
        text += QStringLiteral("(handle=%1, %2)").arg(handle).arg(path);
        break;
    case Op::Bootstrap:
        text += QStringLiteral("(%1) handle=%2").arg(path).arg(handle);
        break;
    default:
        text += QStringLiteral("(handle=%1)").arg(handle);
        break;
    }
    return text + QStringLiteral(" -> %1").arg(int(status));
}

void Simulator::reset(const Device &device)
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    s.configured = true;
    s.persistent = false;
    s.path.clear();
    s.device = device;
    s.faults.clear();
    s.calls.clear();
    s.handles.clear();
    s.nextHandle = 1;
}

Device Simulator::device()
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    return s.device;
}

void Simulator::setDevice(const Device &device)
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    s.device = device;
    if (!device.present || device.mode != Mode::Normal)
        s.handles.clear();
}

void Simulator::failCall(Op op, ORVStatus status, int nth)
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    s.faults.append(Fault{op, std::max(1, nth), status, false});
}

void Simulator::unplugAt(Op op, int nth)
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    s.faults.append(Fault{op, std::max(1, nth), ORV_NO_DEVICE, true});
}

void Simulator::unplugNow()
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    s.device.present = false;
    s.handles.clear();
}

QVector<Fault> Simulator::pendingFaults()
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    return s.faults;
}

void Simulator::clearFaults()
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    s.faults.clear();
}

QVector<Call> Simulator::calls()
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    return s.calls;
}

QStringList Simulator::callNames()
{
    QStringList names;
    for (const Call &call : calls())
        names << opName(call.op);
    return names;
}

void Simulator::clearCalls()
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    s.calls.clear();
}

QVector<int32_t> Simulator::openHandles()
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    return s.handles;
}

QString Simulator::statePath()
{
    QString fromEnvironment = qEnvironmentVariable("ORV_SIM_STATE");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/orv-sim/device.json");
}

bool Simulator::usePersistentState(const QString &path)
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    return loadLocked(s, path);
}

bool Simulator::saveState(const QString &path)
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    return saveLocked(s, path);
}

QString Simulator::describe()
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    const Device &d = s.device;
    auto store = [](int32_t v) { return v == erased ? QStringLiteral("erased") : QStringLiteral("version %1").arg(v); };
    QString text;
    text += QStringLiteral("device:      %1\n").arg(d.present ? QStringLiteral("present") : QStringLiteral("absent (unplugged)"));
    text += QStringLiteral("mode:        %1\n").arg(d.mode == Mode::Normal ? QStringLiteral("normal") : QStringLiteral("boot loader only"));
    text += QStringLiteral("serial:      %1\n").arg(d.serialNumber);
    text += QStringLiteral("FX3 store:   %1 (reported as firmware %2)\n").arg(store(d.fx3Store)).arg(d.fx3Store == erased ? 0 : d.fx3Store);
    text += QStringLiteral("FPGA store:  %1\n").arg(store(d.fpgaStore));
    text += QStringLiteral("FPGA status: %1\n").arg(d.fpgaStatus == 2 ? QStringLiteral("2 (failed to load)") : QString::number(d.fpgaStatus));
    text += QStringLiteral("write times: FX3 %1 ms, FPGA %2 ms\n").arg(d.fx3WriteMs).arg(d.fpgaWriteMs);
    if (!d.otherSerialNumbers.isEmpty()) {
        QStringList others;
        for (int32_t serial : d.otherSerialNumbers)
            others << QString::number(serial);
        text += QStringLiteral("also listed: %1\n").arg(others.join(QStringLiteral(", ")));
    }
    for (const Fault &f : s.faults) {
        text += f.unplug ? QStringLiteral("fault:       unplug at %1 call %2 from now\n").arg(opName(f.op)).arg(f.callsLeft)
                         : QStringLiteral("fault:       %1 call %2 from now returns %3\n").arg(opName(f.op)).arg(f.callsLeft).arg(int(f.status));
    }
    return text;
}

} // namespace orvsim

using namespace orvsim;

extern "C" {

ORVSIM_EXPORT const char *ORV_CALL orvGetAPIVersion(void)
{
    return apiVersion;
}

ORVSIM_EXPORT ORVStatus ORV_CALL orvConfigNetGetDeviceList(int32_t *serialNumbers, int32_t *count)
{
    Call call = makeCall(Op::GetDeviceList);
    call.count = count ? *count : 0;
    Entry e(call);
    if (e.failsNow())
        return e.finish(e.injectedStatus);
    if (!count)
        return e.finish(ORV_INVALID_ARGUMENT);

    QVector<int32_t> found;
    if (e.s.device.present && e.s.device.mode == Mode::Normal)
        found.append(e.s.device.serialNumber);
    found += e.s.device.otherSerialNumbers;

    const int capacity = std::max<int32_t>(0, *count);
    if (capacity > 0 && !serialNumbers)
        return e.finish(ORV_INVALID_ARGUMENT);
    for (int i = 0; i < std::min(capacity, int(found.size())); ++i)
        serialNumbers[i] = found[i];
    *count = int32_t(found.size());
    return e.finish(ORV_SUCCESS);
}

ORVSIM_EXPORT ORVStatus ORV_CALL orvConfigNetOpenDevice(int32_t *handle, int32_t serialNumber)
{
    Call call = makeCall(Op::OpenDevice);
    call.serialNumber = serialNumber;
    Entry e(call);
    if (e.failsNow())
        return e.finish(e.injectedStatus);
    if (!handle)
        return e.finish(ORV_INVALID_ARGUMENT);
    const Device &d = e.s.device;
    if (!d.present || d.mode != Mode::Normal || serialNumber != d.serialNumber)
        return e.finish(ORV_NO_DEVICE);
    *handle = e.openHandle();
    return e.finish(ORV_SUCCESS);
}

ORVSIM_EXPORT ORVStatus ORV_CALL orvConfigNetCloseDevice(int32_t handle)
{
    Entry e(makeCall(Op::CloseDevice, handle));
    if (e.failsNow())
        return e.finish(e.injectedStatus);
    if (!e.s.handles.removeOne(handle))
        return e.finish(ORV_INVALID_HANDLE);
    return e.finish(ORV_SUCCESS);
}

ORVSIM_EXPORT ORVStatus ORV_CALL orvConfigNetGetFirmwareVersion(int32_t handle, int32_t *version)
{
    return readValue(Op::GetFirmwareVersion, handle, version,
                     [](const Device &d) { return d.fx3Store == erased ? 0 : d.fx3Store; });
}

ORVSIM_EXPORT ORVStatus ORV_CALL orvConfigNetGetFPGAStatus(int32_t handle, int32_t *status)
{
    return readValue(Op::GetFPGAStatus, handle, status, [](const Device &d) { return d.fpgaStatus; });
}

ORVSIM_EXPORT ORVStatus ORV_CALL orvConfigNetClearFx3(int32_t handle)
{
    return clearStore(Op::ClearFx3, handle);
}

ORVSIM_EXPORT ORVStatus ORV_CALL orvConfigNetWriteFx3(int32_t handle, const char *imagePath, int32_t serialNumber)
{
    return writeStore(Op::WriteFx3, handle, imagePath, serialNumber);
}

ORVSIM_EXPORT ORVStatus ORV_CALL orvConfigNetClearFPGA(int32_t handle)
{
    return clearStore(Op::ClearFPGA, handle);
}

ORVSIM_EXPORT ORVStatus ORV_CALL orvConfigNetWriteFGPA(int32_t handle, const char *imagePath)
{
    return writeStore(Op::WriteFPGA, handle, imagePath, 0);
}

ORVSIM_EXPORT ORVStatus ORV_CALL orvConfigNetPreset(int32_t handle)
{
    Entry e(makeCall(Op::Preset, handle));
    if (e.failsNow())
        return e.finish(e.injectedStatus);
    if (!e.isOpen(handle))
        return e.finish(ORV_INVALID_HANDLE);
    Device &d = e.s.device;
    d.mode = d.fx3Store == erased ? Mode::BootLoader : Mode::Normal;
    d.fpgaStatus = d.fpgaStore == erased ? 2 : 0;
    if (d.mode == Mode::BootLoader)
        e.s.handles.clear();
    return e.finish(ORV_SUCCESS);
}

ORVSIM_EXPORT ORVStatus ORV_CALL orvConfigNetBootstrapDevice(int32_t *handle, const char *fx3ImagePath)
{
    Call call = makeCall(Op::Bootstrap);
    call.path = pathText(fx3ImagePath);
    Entry e(call);
    if (e.failsNow())
        return e.finish(e.injectedStatus);
    if (!handle || !fx3ImagePath)
        return e.finish(ORV_INVALID_ARGUMENT);
    Device &d = e.s.device;
    if (!d.present || d.mode != Mode::BootLoader)
        return e.finish(ORV_NO_DEVICE);
    const ImageInfo image = readImageFile(call.path);
    if (!image.valid || image.component != Component::Fx3)
        return e.finish(ORV_BAD_IMAGE);
    // The program runs from RAM; the FX3 store stays as it was.
    d.mode = Mode::Normal;
    *handle = e.openHandle();
    return e.finish(ORV_SUCCESS);
}

} // extern "C"
