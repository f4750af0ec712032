#ifndef ORVSIM_STATEFILE_H
#define ORVSIM_STATEFILE_H

// The simulated device as its state file holds it: one device for every
// process that uses the file.

#include "platform.h"
#include "simulator.h"

#include <QByteArray>
#include <QString>
#include <QVector>

namespace orvsim {

// An open handle and the process that holds it.
struct Holder
{
    int32_t handle = 0;
    ProcessId owner;
    QString writing; // "fx3" or "fpga" while a write runs through it
};

struct Shared
{
    Device device;
    QVector<Fault> faults;
    QVector<Holder> handles;
    int32_t nextHandle = 1;
};

QByteArray toStateFile(const Shared &shared);
// Reads a state file's bytes. Returns what is wrong with them, or nothing;
// ours tells whether they carry the state file's mark all the same.
QString fromStateFile(const QByteArray &bytes, Shared *shared, bool *ours);

// The state file, locked against every other process from load() to
// close(). Its problems come as one line that names the file.
class StateFile
{
public:
    // A missing file is made with the typical device (ReadWrite) or taken
    // for one (ReadOnly, which writes nothing ever).
    QString load(const QString &path, Access access, Shared *shared);
    // Writes the device back when it changed.
    QString save(const Shared &shared);
    void close() { file.close(); }
    bool existed() const { return found; }

    // Puts a device in the file at path, in place of any state file there
    // however damaged, or in a new file; never over anything else.
    static QString replace(const QString &path, const Shared &shared);

private:
    LockedFile file;
    QString path;
    QByteArray loaded;
    bool found = false;
};

} // namespace orvsim

#endif
