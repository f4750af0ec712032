// The simulated ORV1600 behind the orv_api functions.

#include "firmwareimage.h"
#include "simulator.h"
#include "statefile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace orvsim {

namespace {

const char apiVersion[] = "1.0.0-simulator (no hardware)";
// A GUI program on Windows has no stderr: the banner that shows the version
// is where the operator learns that the state file is the trouble.
const char apiVersionUnusable[] = "1.0.0-simulator (state file unusable: see orv-sim show)";

const Op allOps[] = {Op::GetDeviceList, Op::OpenDevice,      Op::CloseDevice, Op::GetFirmwareVersion,
                     Op::GetFPGAStatus, Op::ClearFx3,        Op::WriteFx3,    Op::ClearFPGA,
                     Op::WriteFPGA,     Op::Preset,          Op::Bootstrap};

// Taken when the library is loaded, before main: the program changes its
// working directory to find its release, and a relative ORV_SIM_STATE
// means the folder the technician started it in.
const QString startFolder = QDir::currentPath();

QString absolute(const QString &path)
{
    return QDir::cleanPath(QDir(startFolder).absoluteFilePath(path));
}

struct State
{
    QMutex mutex;
    bool configured = false;
    QString path; // the state file, or empty for the in-memory device
    Access access = Access::ReadWrite;
    // The device; with a state file, as the file held it at the last step.
    Shared shared;
    bool fileFound = true;
    QString problem; // why the state file cannot be used
    QString told;    // the problem last put on stderr
    QVector<Call> calls;
    const ProcessId me = thisProcess();
};

State &state()
{
    static State s;
    return s;
}

// A problem with the state file goes to stderr once, not at every call.
void tell(State &s, const QString &problem)
{
    s.problem = problem;
    if (!problem.isEmpty() && problem != s.told)
        std::fprintf(stderr, "simulated device: %s\n", qPrintable(problem));
    s.told = problem;
}

// The rule of a device that starts, when it is plugged in again: without a
// valid FX3 program only the boot loader runs, and an FPGA without a
// configuration cannot load.
void powerUp(Device &d)
{
    if (d.fx3Store == erased)
        d.mode = Mode::BootLoader;
    if (d.fpgaStore == erased)
        d.fpgaStatus = 2;
}

// One step on the device: this process's lock and, with a state file, the
// file's lock, with the device as the file holds it; what changed is
// written back at the end. A step that cannot have the device is not
// usable.
class Step
{
public:
    Step()
        : s(state()), lock(&s.mutex)
    {
        begin();
    }
    ~Step() { end(); }
    Step(const Step &) = delete;
    Step &operator=(const Step &) = delete;

    bool end()
    {
        if (!open)
            return usable;
        open = false;
        const QString problem = s.access == Access::ReadWrite ? file.save(s.shared) : QString();
        file.close();
        if (!problem.isEmpty()) {
            usable = false;
            tell(s, problem);
        }
        return usable;
    }

    // Lets other threads and processes at the device for a while.
    void pause(unsigned long ms)
    {
        end();
        lock.unlock();
        QThread::msleep(ms);
        lock.relock();
        begin();
    }

    State &s;
    QMutexLocker lock;
    bool usable = true;

private:
    void begin()
    {
        if (!s.configured) {
            s.configured = true;
            s.path = Simulator::statePath();
        }
        usable = true;
        if (s.path.isEmpty())
            return;
        const QString problem = file.load(s.path, s.access, &s.shared);
        s.fileFound = file.existed();
        usable = problem.isEmpty();
        tell(s, problem);
        if (!usable)
            return;
        open = true;
        // The handles of a process that has ended are free again.
        QVector<Holder> &handles = s.shared.handles;
        handles.erase(std::remove_if(handles.begin(), handles.end(),
                                     [this](const Holder &h) { return h.owner != s.me && !isRunning(h.owner); }),
                      handles.end());
    }

    StateFile file;
    bool open = false;
};

// Every library entry point runs in a step, through this.
class Entry
{
    Step step; // first, for the members that refer to it

public:
    explicit Entry(const Call &call)
        : s(step.s), d(s.shared.device)
    {
        index = s.calls.size();
        s.calls.append(call);
        if (!step.usable) {
            injectedFailure = true;
            injectedStatus = ORV_ERROR;
            return;
        }
        takeFault(call.op);
    }

    ORVStatus finish(ORVStatus status)
    {
        if (!step.end())
            status = ORV_ERROR;
        if (index < s.calls.size())
            s.calls[index].status = status;
        return status;
    }

    void pause(unsigned long ms) { step.pause(ms); }
    bool usable() const { return step.usable; }

    void setHandle(int32_t handle)
    {
        if (index < s.calls.size())
            s.calls[index].handle = handle;
    }

    Holder *holder(int32_t handle)
    {
        for (Holder &h : s.shared.handles) {
            if (h.handle == handle && h.owner == s.me)
                return &h;
        }
        return nullptr;
    }

    bool isOpen(int32_t handle) { return d.present && holder(handle); }

    // Open in another process: busy for this one.
    bool heldElsewhere() const
    {
        return std::any_of(s.shared.handles.begin(), s.shared.handles.end(),
                           [this](const Holder &h) { return h.owner != s.me; });
    }

    int32_t openHandle()
    {
        Holder h;
        h.handle = s.shared.nextHandle++;
        h.owner = s.me;
        s.shared.handles.append(h);
        setHandle(h.handle);
        return h.handle;
    }

    bool closeHandle(int32_t handle)
    {
        QVector<Holder> &handles = s.shared.handles;
        const auto it = std::find_if(handles.begin(), handles.end(),
                                     [&](const Holder &h) { return h.handle == handle && h.owner == s.me; });
        if (it == handles.end())
            return false;
        handles.erase(it);
        return true;
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
        d.present = false;
        s.shared.handles.clear();
    }

    State &s;
    Device &d;
    bool injectedFailure = false;
    bool cutOff = false;
    ORVStatus injectedStatus = ORV_SUCCESS;

private:
    void takeFault(Op op)
    {
        QVector<Fault> &faults = s.shared.faults;
        for (int i = 0; i < faults.size();) {
            Fault &f = faults[i];
            if (f.op == op && --f.callsLeft <= 0) {
                if (!injectedFailure && !cutOff) {
                    cutOff = f.unplug;
                    injectedFailure = !f.unplug;
                    injectedStatus = f.status;
                }
                faults.removeAt(i);
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
    *value = read(e.d);
    return e.finish(ORV_SUCCESS);
}

ORVStatus clearStore(Op op, int32_t handle)
{
    Entry e(makeCall(op, handle));
    if (e.injectedFailure)
        return e.finish(e.injectedStatus);
    if (!e.isOpen(handle))
        return e.finish(ORV_INVALID_HANDLE);
    int32_t &store = op == Op::ClearFx3 ? e.d.fx3Store : e.d.fpgaStore;
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
    if ((fx3 ? e.d.fx3Store : e.d.fpgaStore) != erased)
        return e.finish(ORV_NOT_ERASED);
    const ImageInfo image = readImageFile(call.path);
    if (!image.valid || image.component != (fx3 ? Component::Fx3 : Component::Fpga))
        return e.finish(ORV_BAD_IMAGE);

    // The write takes its time without holding the locks, so that the
    // device can be unplugged (or looked at) meanwhile, from this process
    // or another; every pause ends with the device as it is then.
    const int duration = fx3 ? e.d.fx3WriteMs : e.d.fpgaWriteMs;
    const int cutAt = e.cutOff ? duration / 2 : -1;
    e.holder(handle)->writing = fx3 ? QStringLiteral("fx3") : QStringLiteral("fpga");
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        if (!e.usable())
            return e.finish(ORV_ERROR);
        if (!e.isOpen(handle))
            return e.finish(ORV_NO_DEVICE);
        const qint64 done = elapsed.elapsed();
        if (e.cutOff && done >= cutAt) {
            e.unplug();
            return e.finish(ORV_NO_DEVICE);
        }
        if (done >= duration)
            break;
        e.pause(static_cast<unsigned long>(std::min<qint64>(10, duration - done)));
    }

    e.holder(handle)->writing.clear();
    if (fx3) {
        e.d.fx3Store = image.version;
        // The serial number is kept with the FX3 program.
        e.d.serialNumber = serialNumber;
    } else {
        e.d.fpgaStore = image.version;
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
    s.path.clear();
    s.access = Access::ReadWrite;
    s.shared = Shared();
    s.shared.device = device;
    s.fileFound = true;
    s.problem.clear();
    s.calls.clear();
}

Device Simulator::device()
{
    Step step;
    return step.s.shared.device;
}

void Simulator::setDevice(const Device &device)
{
    edit([&](Device &d, QVector<Fault> &) { d = device; });
}

void Simulator::failCall(Op op, ORVStatus status, int nth)
{
    edit([&](Device &, QVector<Fault> &faults) { faults.append(Fault{op, std::max(1, nth), status, false}); });
}

void Simulator::unplugAt(Op op, int nth)
{
    edit([&](Device &, QVector<Fault> &faults) { faults.append(Fault{op, std::max(1, nth), ORV_NO_DEVICE, true}); });
}

void Simulator::unplugNow()
{
    edit([](Device &d, QVector<Fault> &) { d.present = false; });
}

QVector<Fault> Simulator::pendingFaults()
{
    Step step;
    return step.s.shared.faults;
}

void Simulator::clearFaults()
{
    edit([](Device &, QVector<Fault> &faults) { faults.clear(); });
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
    Step step;
    QVector<int32_t> handles;
    for (const Holder &h : step.s.shared.handles)
        handles << h.handle;
    return handles;
}

QString Simulator::statePath()
{
    const QString fromEnvironment = qEnvironmentVariable("ORV_SIM_STATE");
    if (!fromEnvironment.isEmpty())
        return absolute(fromEnvironment);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/orv-sim/device.json");
}

bool Simulator::usePersistentState(const QString &path, Access access)
{
    State &s = state();
    {
        QMutexLocker lock(&s.mutex);
        s.configured = true;
        s.path = absolute(path);
        s.access = access;
        s.calls.clear();
    }
    Step step;
    if (!step.usable)
        return false;
    QVector<Holder> &handles = s.shared.handles;
    handles.erase(std::remove_if(handles.begin(), handles.end(), [&](const Holder &h) { return h.owner == s.me; }),
                  handles.end());
    return step.end();
}

QString Simulator::stateProblem()
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    return s.problem;
}

bool Simulator::stateFileExists()
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    return s.fileFound;
}

bool Simulator::edit(const std::function<void(Device &, QVector<Fault> &)> &change)
{
    Step step;
    if (!step.usable || (!step.s.path.isEmpty() && step.s.access == Access::ReadOnly))
        return false;
    Shared &shared = step.s.shared;
    const bool wasPresent = shared.device.present;
    change(shared.device, shared.faults);
    Device &d = shared.device;
    if (!wasPresent && d.present)
        powerUp(d);
    if (!d.present || d.mode != Mode::Normal)
        shared.handles.clear();
    return step.end();
}

bool Simulator::saveState(const QString &path)
{
    Step step;
    if (!step.usable)
        return false;
    Shared fresh;
    fresh.device = step.s.shared.device;
    fresh.faults = step.s.shared.faults;
    fresh.nextHandle = step.s.shared.nextHandle;
    // Lets go of the state file, which may be the same one.
    step.end();
    const QString problem = StateFile::replace(absolute(path), fresh);
    tell(step.s, problem);
    return problem.isEmpty();
}

QString Simulator::describe()
{
    Step step;
    if (!step.usable)
        return step.s.problem + QLatin1Char('\n');
    const Shared &shared = step.s.shared;
    const Device &d = shared.device;
    auto writing = [&](const QString &store) {
        return std::any_of(shared.handles.begin(), shared.handles.end(),
                           [&](const Holder &h) { return h.writing == store; });
    };
    auto store = [&](int32_t v, const QString &name) {
        const QString text = v == erased ? QStringLiteral("erased") : QStringLiteral("version %1").arg(v);
        return writing(name) ? text + QStringLiteral(", being written") : text;
    };
    QString text;
    text += QStringLiteral("device:      %1\n").arg(d.present ? QStringLiteral("present") : QStringLiteral("absent (unplugged)"));
    text += QStringLiteral("mode:        %1\n").arg(d.mode == Mode::Normal ? QStringLiteral("normal") : QStringLiteral("boot loader only"));
    text += QStringLiteral("serial:      %1\n").arg(d.serialNumber);
    text += QStringLiteral("FX3 store:   %1 (reported as firmware %2)\n").arg(store(d.fx3Store, QStringLiteral("fx3"))).arg(d.fx3Store == erased ? 0 : d.fx3Store);
    text += QStringLiteral("FPGA store:  %1\n").arg(store(d.fpgaStore, QStringLiteral("fpga")));
    text += QStringLiteral("FPGA status: %1\n").arg(d.fpgaStatus == 2 ? QStringLiteral("2 (failed to load)") : QString::number(d.fpgaStatus));
    text += QStringLiteral("write times: FX3 %1 ms, FPGA %2 ms\n").arg(d.fx3WriteMs).arg(d.fpgaWriteMs);
    if (!d.otherSerialNumbers.isEmpty()) {
        QStringList others;
        for (int32_t serial : d.otherSerialNumbers)
            others << QString::number(serial);
        text += QStringLiteral("also listed: %1\n").arg(others.join(QStringLiteral(", ")));
    }
    for (const Holder &h : shared.handles)
        text += QStringLiteral("open:        handle %1, in process %2\n").arg(h.handle).arg(h.owner.pid);
    for (const Fault &f : shared.faults) {
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
    Step step;
    return step.end() ? apiVersion : apiVersionUnusable;
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
    if (e.d.present && e.d.mode == Mode::Normal)
        found.append(e.d.serialNumber);
    found += e.d.otherSerialNumbers;

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
    const Device &d = e.d;
    if (!d.present || d.mode != Mode::Normal || serialNumber != d.serialNumber)
        return e.finish(ORV_NO_DEVICE);
    if (e.heldElsewhere())
        return e.finish(ORV_BUSY);
    *handle = e.openHandle();
    return e.finish(ORV_SUCCESS);
}

ORVSIM_EXPORT ORVStatus ORV_CALL orvConfigNetCloseDevice(int32_t handle)
{
    Entry e(makeCall(Op::CloseDevice, handle));
    if (e.failsNow())
        return e.finish(e.injectedStatus);
    if (!e.closeHandle(handle))
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
    Device &d = e.d;
    d.mode = d.fx3Store == erased ? Mode::BootLoader : Mode::Normal;
    d.fpgaStatus = d.fpgaStore == erased ? 2 : 0;
    if (d.mode == Mode::BootLoader)
        e.s.shared.handles.clear();
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
    Device &d = e.d;
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
