#include "statefile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace orvsim {

namespace {

// The mark that tells a state file from any other file, and its format.
const QString kindKey = QStringLiteral("kind");
const QString kindValue = QStringLiteral("orv-sim device state");
const QString formatKey = QStringLiteral("format");
constexpr int format = 1;
// Nothing this long is a state file.
constexpr size_t sizeLimit = 1 << 20;

constexpr double int32Min = std::numeric_limits<int32_t>::min();
constexpr double int32Max = std::numeric_limits<int32_t>::max();

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString systemError(int code)
{
    return QString::fromLocal8Bit(errorText(code).c_str());
}

enum class Opening { Open, Missing, Made };

// Opens the state file at path, locked, for writing too when write is set.
// A missing file is first made holding initial, when that is given;
// otherwise it is only reported (*how, and the file stays closed). Returns
// the line that says what went wrong, or nothing.
QString openStateFile(LockedFile &file, const QString &path, bool write, const std::string *initial, Opening *how)
{
    *how = Opening::Open;
    for (int attempt = 0;; ++attempt) {
        const LockedFile::Opened opened = file.open(path, write);
        if (opened == LockedFile::Opened::Yes)
            return QString();
        if (opened == LockedFile::Opened::NotAFile)
            return QStringLiteral("%1 is not a file").arg(shown(path));
        if (opened == LockedFile::Opened::Failed || attempt > 0) {
            return QStringLiteral("cannot %1 %2: %3")
                .arg(write ? QStringLiteral("write") : QStringLiteral("read"), shown(path), systemError(file.error()));
        }
        if (!initial) {
            *how = Opening::Missing;
            return QString();
        }
        QDir().mkpath(QFileInfo(path).absolutePath());
        int error = 0;
        const Created created = createFile(path, *initial, &error);
        if (created == Created::Failed)
            return QStringLiteral("cannot make %1: %2").arg(shown(path), systemError(error));
        if (created == Created::Yes)
            *how = Opening::Made;
    }
}

// The whole of the open state file, or the line that says why not.
QString readStateFile(LockedFile &file, const QString &path, std::string *bytes)
{
    if (!file.read(bytes, sizeLimit))
        return QStringLiteral("cannot read %1: %2").arg(shown(path), systemError(file.error()));
    if (bytes->size() > sizeLimit)
        return QStringLiteral("%1 is not a device state file (it is over a megabyte); it is left as it is")
            .arg(shown(path));
    return QString();
}

QJsonValue storeToJson(int32_t store)
{
    return store == erased ? QJsonValue(QStringLiteral("erased")) : QJsonValue(store);
}

// Takes the keys of a state file, refusing the first value that is of the
// wrong type or out of range. A missing key leaves the value as it was.
class Reader
{
public:
    QString problem;

    bool known(const QJsonObject &o, const QStringList &keys, const QString &where)
    {
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (!keys.contains(it.key()))
                return refuse(QStringLiteral("unknown key \"%1%2\"").arg(where, it.key()));
        }
        return true;
    }

    bool flag(const QJsonObject &o, const QString &key, bool *out)
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return true;
        if (!v.isBool())
            return wrong(key, QStringLiteral("true or false"));
        *out = v.toBool();
        return true;
    }

    bool number(const QJsonObject &o, const QString &key, double min, double max, double *out)
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return true;
        const double d = v.toDouble();
        if (!v.isDouble() || std::floor(d) != d || d < min || d > max)
            return wrong(key, QStringLiteral("a whole number from %1 to %2").arg(min, 0, 'f', 0).arg(max, 0, 'f', 0));
        *out = d;
        return true;
    }

    bool int32(const QJsonObject &o, const QString &key, double min, double max, int32_t *out)
    {
        double d = *out;
        if (!number(o, key, min, max, &d))
            return false;
        *out = int32_t(d);
        return true;
    }

    bool store(const QJsonObject &o, const QString &key, int32_t *out)
    {
        const QJsonValue v = o.value(key);
        if (v.toString() == QLatin1String("erased")) {
            *out = erased;
            return true;
        }
        if (v.isString())
            return wrong(key, QStringLiteral("\"erased\" or a version from %1 to %2").arg(erased + 1).arg(INT32_MAX));
        return int32(o, key, int32Min + 1, int32Max, out);
    }

    bool text(const QJsonObject &o, const QString &key, const QStringList &choices, QString *out)
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return true;
        if (!choices.contains(v.toString()))
            return wrong(key, QStringLiteral("\"%1\"").arg(choices.join(QStringLiteral("\" or \""))));
        *out = v.toString();
        return true;
    }

    // An array of objects, for each of which read() is called.
    template<typename Read>
    bool objects(const QJsonObject &o, const QString &key, Read read)
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return true;
        if (!v.isArray())
            return wrong(key, QStringLiteral("a list"));
        const QJsonArray items = v.toArray();
        for (int i = 0; i < items.size(); ++i) {
            const QString where = QStringLiteral("%1[%2].").arg(key).arg(i);
            if (!items[i].isObject())
                return wrong(where.chopped(1), QStringLiteral("an object"));
            prefix = where;
            const bool ok = read(items[i].toObject(), where);
            prefix.clear();
            if (!ok)
                return false;
        }
        return true;
    }

    bool wrong(const QString &key, const QString &what)
    {
        return refuse(QStringLiteral("\"%1%2\" must be %3").arg(prefix, key, what));
    }

private:
    bool refuse(const QString &why)
    {
        if (problem.isEmpty())
            problem = QStringLiteral(": ") + why;
        return false;
    }

    QString prefix;
};

QStringList opNames()
{
    QStringList names;
    for (int op = 0; op <= int(Op::Bootstrap); ++op)
        names << opName(Op(op));
    return names;
}

QString readDevice(const QJsonObject &o, Shared *shared)
{
    Device d = Device::typical();
    Reader r;
    QString mode = QStringLiteral("normal");
    const bool deviceRead = r.flag(o, QStringLiteral("present"), &d.present)
        && r.text(o, QStringLiteral("mode"), {QStringLiteral("normal"), QStringLiteral("bootloader")}, &mode)
        && r.int32(o, QStringLiteral("serialNumber"), int32Min, int32Max, &d.serialNumber)
        && r.store(o, QStringLiteral("fx3Store"), &d.fx3Store)
        && r.store(o, QStringLiteral("fpgaStore"), &d.fpgaStore)
        && r.int32(o, QStringLiteral("fpgaStatus"), int32Min, int32Max, &d.fpgaStatus)
        && r.int32(o, QStringLiteral("fx3WriteMs"), 0, maxWriteMs, &d.fx3WriteMs)
        && r.int32(o, QStringLiteral("fpgaWriteMs"), 0, maxWriteMs, &d.fpgaWriteMs);
    if (!deviceRead)
        return r.problem;
    d.mode = mode == QLatin1String("bootloader") ? Mode::BootLoader : Mode::Normal;

    const QJsonValue others = o.value(QStringLiteral("otherSerialNumbers"));
    if (!others.isUndefined()) {
        bool fine = others.isArray();
        for (const auto &v : others.toArray()) {
            const double serial = v.toDouble();
            fine = fine && v.isDouble() && std::floor(serial) == serial && serial >= int32Min && serial <= int32Max;
            if (fine)
                d.otherSerialNumbers.append(int32_t(serial));
        }
        if (!fine) {
            r.wrong(QStringLiteral("otherSerialNumbers"), QStringLiteral("a list of whole numbers"));
            return r.problem;
        }
    }

    QVector<Fault> faults;
    const bool faultsRead = r.objects(o, QStringLiteral("faults"), [&](const QJsonObject &fo, const QString &where) {
        Fault f;
        QString op;
        int32_t status = ORV_ERROR;
        const bool read = r.known(fo, {QStringLiteral("op"), QStringLiteral("callsLeft"), QStringLiteral("status"), QStringLiteral("unplug")}, where)
            && r.text(fo, QStringLiteral("op"), opNames(), &op)
            && r.int32(fo, QStringLiteral("callsLeft"), 1, int32Max, &f.callsLeft)
            && r.int32(fo, QStringLiteral("status"), int32Min, int32Max, &status)
            && r.flag(fo, QStringLiteral("unplug"), &f.unplug);
        if (!read)
            return false;
        if (!opFromName(op, &f.op))
            return r.wrong(QStringLiteral("op"), QStringLiteral("given"));
        // A fault fails its call: a status of 0 would be a success that did
        // nothing.
        if (status == ORV_SUCCESS)
            return r.wrong(QStringLiteral("status"), QStringLiteral("a failure, not 0"));
        f.status = ORVStatus(status);
        faults.append(f);
        return true;
    });
    if (!faultsRead)
        return r.problem;

    QVector<Holder> handles;
    const bool handlesRead = r.objects(o, QStringLiteral("handles"), [&](const QJsonObject &ho, const QString &where) {
        Holder h;
        double pid = 0;
        const bool read = r.known(ho, {QStringLiteral("handle"), QStringLiteral("pid"), QStringLiteral("started"), QStringLiteral("writing")}, where)
            && r.int32(ho, QStringLiteral("handle"), 1, int32Max, &h.handle)
            && r.number(ho, QStringLiteral("pid"), 1, 4294967295.0, &pid)
            && r.text(ho, QStringLiteral("writing"), {QStringLiteral("fx3"), QStringLiteral("fpga")}, &h.writing);
        if (!read)
            return false;
        // A string: a start time may be past the doubles' whole numbers.
        bool ok = false;
        h.owner.pid = int64_t(pid);
        h.owner.started = ho.value(QStringLiteral("started")).toString().toULongLong(&ok);
        if (!ok || !ho.contains(QStringLiteral("pid")) || !ho.contains(QStringLiteral("handle")))
            return r.wrong(QStringLiteral("started"), QStringLiteral("given with \"handle\" and \"pid\", as a string of digits"));
        handles.append(h);
        return true;
    });
    if (!handlesRead)
        return r.problem;

    int32_t nextHandle = 1;
    if (!r.int32(o, QStringLiteral("nextHandle"), 1, int32Max, &nextHandle))
        return r.problem;

    shared->device = d;
    shared->faults = faults;
    shared->handles = handles;
    shared->nextHandle = nextHandle;
    return QString();
}

} // namespace

QByteArray toStateFile(const Shared &shared)
{
    const Device &d = shared.device;
    QJsonObject o;
    o[kindKey] = kindValue;
    o[formatKey] = format;
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
    for (const Fault &f : shared.faults) {
        QJsonObject fo;
        fo[QStringLiteral("op")] = opName(f.op);
        fo[QStringLiteral("callsLeft")] = f.callsLeft;
        fo[QStringLiteral("status")] = int(f.status);
        fo[QStringLiteral("unplug")] = f.unplug;
        faults.append(fo);
    }
    o[QStringLiteral("faults")] = faults;
    QJsonArray handles;
    for (const Holder &h : shared.handles) {
        QJsonObject ho;
        ho[QStringLiteral("handle")] = h.handle;
        ho[QStringLiteral("pid")] = double(h.owner.pid);
        ho[QStringLiteral("started")] = QString::number(h.owner.started);
        if (!h.writing.isEmpty())
            ho[QStringLiteral("writing")] = h.writing;
        handles.append(ho);
    }
    o[QStringLiteral("handles")] = handles;
    o[QStringLiteral("nextHandle")] = shared.nextHandle;
    return QJsonDocument(o).toJson();
}

QString fromStateFile(const QByteArray &bytes, Shared *shared, bool *ours)
{
    *ours = false;
    if (bytes.trimmed().isEmpty())
        return QStringLiteral(" is empty, not a device state file; it is left as it is");
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        const int line = bytes.left(error.offset).count('\n') + 1;
        return QStringLiteral(" is not a device state file (not JSON: %1 on line %2); it is left as it is")
            .arg(error.errorString())
            .arg(line);
    }
    const QJsonObject o = doc.object();
    if (o.value(kindKey) != kindValue)
        return QStringLiteral(" is not a device state file (it has no \"%1\": \"%2\"); it is left as it is")
            .arg(kindKey, kindValue);
    *ours = true;
    if (o.value(formatKey) != format) {
        const QString given = o.value(formatKey).toVariant().toString();
        return QStringLiteral(" is a device state file of format %1; this simulated device reads format %2")
            .arg(given.isEmpty() ? QStringLiteral("(none)") : given)
            .arg(format);
    }
    Reader r;
    const QStringList keys = {kindKey,
                              formatKey,
                              QStringLiteral("present"),
                              QStringLiteral("mode"),
                              QStringLiteral("serialNumber"),
                              QStringLiteral("fx3Store"),
                              QStringLiteral("fpgaStore"),
                              QStringLiteral("fpgaStatus"),
                              QStringLiteral("fx3WriteMs"),
                              QStringLiteral("fpgaWriteMs"),
                              QStringLiteral("otherSerialNumbers"),
                              QStringLiteral("faults"),
                              QStringLiteral("handles"),
                              QStringLiteral("nextHandle")};
    if (!r.known(o, keys, QString()))
        return r.problem;
    return readDevice(o, shared);
}

QString StateFile::load(const QString &filePath, Access access, Shared *shared)
{
    path = filePath;
    found = true;
    Shared fresh;
    fresh.device = Device::typical();
    const std::string initial = toStateFile(fresh).toStdString();
    const bool write = access == Access::ReadWrite;
    Opening how = Opening::Open;
    QString problem = openStateFile(file, path, write, write ? &initial : nullptr, &how);
    if (!problem.isEmpty())
        return problem;
    if (how == Opening::Missing) {
        found = false;
        *shared = fresh;
        loaded = QByteArray::fromStdString(initial);
        return QString();
    }

    std::string bytes;
    bool ours = false;
    problem = readStateFile(file, path, &bytes);
    if (problem.isEmpty()) {
        problem = fromStateFile(QByteArray::fromStdString(bytes), shared, &ours);
        if (!problem.isEmpty())
            problem.prepend(shown(path));
    }
    if (!problem.isEmpty()) {
        close();
        return problem;
    }
    // Compared with what is saved, so that only a change is written.
    loaded = toStateFile(*shared);
    return QString();
}

QString StateFile::save(const Shared &shared)
{
    const QByteArray bytes = toStateFile(shared);
    if (bytes == loaded)
        return QString();
    if (!file.replace(bytes.toStdString()))
        return QStringLiteral("cannot write %1: %2").arg(shown(path), systemError(file.error()));
    loaded = bytes;
    return QString();
}

QString StateFile::replace(const QString &path, const Shared &shared)
{
    const std::string bytes = toStateFile(shared).toStdString();
    LockedFile file;
    Opening how = Opening::Open;
    QString problem = openStateFile(file, path, true, &bytes, &how);
    if (!problem.isEmpty() || how == Opening::Made)
        return problem;

    std::string old;
    problem = readStateFile(file, path, &old);
    if (!problem.isEmpty())
        return problem;
    Shared ignored;
    bool ours = false;
    problem = fromStateFile(QByteArray::fromStdString(old), &ignored, &ours);
    if (!ours)
        return shown(path) + problem;
    if (!file.replace(bytes))
        return QStringLiteral("cannot write %1: %2").arg(shown(path), systemError(file.error()));
    return QString();
}

} // namespace orvsim
