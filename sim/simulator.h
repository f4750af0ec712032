#ifndef ORVSIM_SIMULATOR_H
#define ORVSIM_SIMULATOR_H

// Control of the simulated ORV1600 behind orv_api: set the device up, inject
// faults, and read back its state and every call the library received.

#include "orv_api.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <functional>

#if defined(_WIN32) && defined(ORVSIM_BUILDING)
#define ORVSIM_EXPORT __declspec(dllexport)
#elif defined(_WIN32)
#define ORVSIM_EXPORT __declspec(dllimport)
#else
#define ORVSIM_EXPORT __attribute__((visibility("default")))
#endif

namespace orvsim {

enum class Op {
    GetDeviceList,
    OpenDevice,
    CloseDevice,
    GetFirmwareVersion,
    GetFPGAStatus,
    ClearFx3,
    WriteFx3,
    ClearFPGA,
    WriteFPGA,
    Preset,
    Bootstrap
};

ORVSIM_EXPORT QString opName(Op op);
// Accepts the names opName gives, in any letter case.
ORVSIM_EXPORT bool opFromName(const QString &name, Op *op);

enum class Mode {
    Normal,    // runs its FX3 program and is listed
    BootLoader // runs only its boot loader: not listed until bootstrapped
};

// A store holds the version of a valid image, or nothing when erased.
constexpr int32_t erased = INT32_MIN;
// The longest a write may be set to take: an hour.
constexpr int maxWriteMs = 3600000;

// How a process uses the state file: ReadOnly looks and never writes.
enum class Access { ReadWrite, ReadOnly };

struct ORVSIM_EXPORT Device
{
    bool present = true;
    Mode mode = Mode::Normal;
    int32_t serialNumber = 25203117;
    int32_t fx3Store = 5;
    int32_t fpgaStore = 7;
    int32_t fpgaStatus = 0; // 2: the FPGA failed to load
    int fx3WriteMs = 0;
    int fpgaWriteMs = 0;
    // Further devices on the bus, listed after this one but not simulated.
    QVector<int32_t> otherSerialNumbers;

    // The device of a typical run: firmware 5, FPGA loaded, writes that take
    // a few seconds.
    static Device typical();
};

struct Fault
{
    Op op = Op::OpenDevice;
    int callsLeft = 1;    // fires on this many-th call of op from now
    ORVStatus status = ORV_ERROR;
    bool unplug = false;  // unplug the device instead of returning status
};

struct ORVSIM_EXPORT Call
{
    Op op = Op::GetDeviceList;
    int32_t handle = -1;       // handle passed, or handed out by open and bootstrap
    int32_t serialNumber = 0;  // open: requested; FX3 write: passed
    int32_t count = 0;         // device list: capacity passed in
    QString path;              // image path of writes and bootstrap
    ORVStatus status = ORV_SUCCESS;

    QString toString() const;
};

class ORVSIM_EXPORT Simulator
{
public:
    // Puts the device in the given state, in memory only: nothing is read
    // from or written to the state file until usePersistentState().
    static void reset(const Device &device = Device());
    static Device device();
    static void setDevice(const Device &device);

    // The nth call of op from now returns status and changes nothing.
    static void failCall(Op op, ORVStatus status, int nth = 1);
    // The device is unplugged at the nth call of op from now: clears and
    // writes are cut off half-way, leaving the store erased; any other
    // call finds the device gone.
    static void unplugAt(Op op, int nth = 1);
    static void unplugNow();
    static QVector<Fault> pendingFaults();
    static void clearFaults();

    static QVector<Call> calls();
    static QStringList callNames();
    static void clearCalls();
    static QVector<int32_t> openHandles();

    // The state file of real runs: ORV_SIM_STATE (when relative, in the
    // folder the process started in), or a per-user default.
    static QString statePath();
    // From now on every call works on the device as the state file at path
    // holds it at that moment, under a lock shared with every other
    // process; this process's earlier handles are gone. A missing file is
    // made with the typical device, or with ReadOnly taken for one. False
    // when the file cannot be used: the reason goes to stderr once and to
    // stateProblem(), and every call fails while it lasts.
    static bool usePersistentState(const QString &path, Access access = Access::ReadWrite);
    static QString stateProblem();
    static bool stateFileExists();
    // Changes the device and its pending faults in one step. A device
    // plugged in again powers up; an unplugged one, or one in its boot
    // loader, has no handle open.
    static bool edit(const std::function<void(Device &device, QVector<Fault> &faults)> &change);
    // Puts the device and faults this process sees into the state file at
    // path, with no handle open: over a state file however damaged, or into
    // a new file, never over any other file.
    static bool saveState(const QString &path);
    static QString describe();
};

} // namespace orvsim

#endif
