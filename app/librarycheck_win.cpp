#include "librarycheck.h"

#include "dllsearchorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <string>

#include <windows.h>

namespace {

// Every function of orv_api.h, which the updater calls directly.
const char *const functions[] = {
    "orvGetAPIVersion",          "orvConfigNetGetDeviceList",      "orvConfigNetOpenDevice",
    "orvConfigNetCloseDevice",   "orvConfigNetGetFirmwareVersion", "orvConfigNetGetFPGAStatus",
    "orvConfigNetClearFx3",      "orvConfigNetWriteFx3",           "orvConfigNetClearFPGA",
    "orvConfigNetWriteFGPA",     "orvConfigNetPreset",             "orvConfigNetBootstrapDevice",
};

#if defined(_M_IX86) || defined(__i386__)
constexpr WORD programMachine = IMAGE_FILE_MACHINE_I386;
#elif defined(_M_ARM64) || defined(__aarch64__)
constexpr WORD programMachine = 0xAA64;
#else
constexpr WORD programMachine = IMAGE_FILE_MACHINE_AMD64;
#endif

QString bits(WORD machine)
{
    switch (machine) {
    case IMAGE_FILE_MACHINE_I386:
        return LibraryCheck::tr("32-bit");
    case IMAGE_FILE_MACHINE_AMD64:
        return LibraryCheck::tr("64-bit");
    case 0xAA64:
        return LibraryCheck::tr("ARM64");
    default:
        return LibraryCheck::tr("non-PC (machine 0x%1)").arg(machine, 4, 16, QLatin1Char('0'));
    }
}

// The updater's package for a library of that machine, if there is one.
QString packageFor(WORD machine)
{
    const QString name = QStringLiteral(ORV_PACKAGE_PREFIX "-%1.zip");
    if (machine == IMAGE_FILE_MACHINE_I386)
        return name.arg(QLatin1String("win32"));
    if (machine == IMAGE_FILE_MACHINE_AMD64)
        return name.arg(QLatin1String("win64"));
    return QString();
}

// What the loader reads first of a Windows library: whether it is one, its
// machine, and the libraries it imports. Reads only within the file.
class PeFile
{
public:
    explicit PeFile(const QByteArray &bytes)
        : m_bytes(bytes)
    {
        if (u16(0) == 0x5A4D && u32(u32(0x3C)) == 0x00004550) // "MZ", "PE\0\0"
            m_pe = u32(0x3C);
    }

    static PeFile read(const QString &path)
    {
        QFile file(path);
        return PeFile(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }

    bool isImage() const { return m_pe != 0; }
    bool isLibrary() const { return m_pe != 0 && (u16(m_pe + 22) & IMAGE_FILE_DLL); }
    WORD machine() const { return m_pe != 0 ? u16(m_pe + 4) : 0; }

    QStringList imports() const
    {
        QStringList names;
        const quint32 optional = m_pe + 24;
        const quint32 directories = optional + (u16(optional) == 0x20B ? 112 : 96);
        if (m_pe == 0 || u32(optional + (u16(optional) == 0x20B ? 108 : 92)) < 2)
            return names;
        qint64 at = offsetOf(u32(directories + 8));
        for (int i = 0; at > 0 && i < 1000; ++i, at += 20) {
            const quint32 name = u32(quint32(at) + 12);
            if (name == 0)
                break;
            const qint64 text = offsetOf(name);
            if (text > 0)
                names << QString::fromLatin1(m_bytes.mid(static_cast<int>(text), 260).constData());
        }
        return names;
    }

private:
    quint32 u16(quint32 at) const
    {
        return at + 2 <= quint32(m_bytes.size()) ? quint32(quint8(m_bytes[at])) | quint8(m_bytes[at + 1]) << 8 : 0;
    }
    quint32 u32(quint32 at) const { return at + 4 <= quint32(m_bytes.size()) ? u16(at) | u16(at + 2) << 16 : 0; }

    qint64 offsetOf(quint32 rva) const
    {
        const quint32 sections = m_pe + 24 + u16(m_pe + 20);
        for (quint32 i = 0; i < u16(m_pe + 6); ++i) {
            const quint32 section = sections + 40 * i;
            const quint32 start = u32(section + 12);
            const quint32 size = qMax(u32(section + 8), u32(section + 16));
            if (rva >= start && rva - start < size)
                return qint64(rva - start) + u32(section + 20);
        }
        return -1;
    }

    QByteArray m_bytes;
    quint32 m_pe = 0;
};

bool loads(const QString &name)
{
    const HMODULE module = LoadLibraryExW(reinterpret_cast<const wchar_t *>(name.utf16()), nullptr, 0);
    if (module)
        FreeLibrary(module);
    return module != nullptr;
}

// A library that another needs and Windows cannot load: the chain of
// names from the one the device library imports to it, where Windows finds
// it (empty: nowhere) and its machine.
struct Dependency
{
    QStringList chain;
    QString path;
    WORD machine = 0;
};

// Follows the imports of a library as the loader would, a few levels down,
// to the first library that is not found or does not fit.
bool unloadableImport(const PeFile &library, const DllSearchOrder &order, int depth, Dependency *found)
{
    for (const QString &name : library.imports()) {
        if (loads(name))
            continue;
        Dependency dependency;
        dependency.chain << name;
        dependency.path = order.files(name).value(0);
        if (!dependency.path.isEmpty()) {
            const PeFile file = PeFile::read(dependency.path);
            dependency.machine = file.machine();
            Dependency deeper;
            if (dependency.machine == programMachine && depth < 4 &&
                unloadableImport(file, order, depth + 1, &deeper)) {
                deeper.chain.prepend(name);
                dependency = deeper;
            }
        }
        *found = dependency;
        return true;
    }
    return false;
}

QString windowsError(DWORD code)
{
    wchar_t *text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString message = text ? QString::fromWCharArray(text).trimmed() : QString();
    LocalFree(text);
    // Windows' texts end in a full stop; the sentence they go into has its own.
    while (message.endsWith(QLatin1Char('.')))
        message.chop(1);
    return LibraryCheck::tr("%1 (error %2)").arg(message, QString::number(code));
}

QString whyNotLoaded(const Dependency &d)
{
    const QString needs = d.chain.join(LibraryCheck::tr(", which needs "));
    if (d.path.isEmpty())
        return LibraryCheck::tr("It needs %1, which is neither in this folder nor anywhere Windows looks for libraries.")
            .arg(needs);
    if (d.machine != programMachine)
        return LibraryCheck::tr("It needs %1, and the one Windows finds, %2, is a %3 library, not a %4 one.")
            .arg(needs, QDir::toNativeSeparators(d.path), bits(d.machine), bits(programMachine));
    return LibraryCheck::tr("It needs %1 (%2), which Windows cannot load.")
        .arg(needs, QDir::toNativeSeparators(d.path));
}

QString whatToInstall(const Dependency &d)
{
    static const QRegularExpression microsoftRuntime(
        QStringLiteral("^(vcruntime|msvcp|msvcr|concrt|vcomp|ucrtbase|api-ms-win-crt-)"),
        QRegularExpression::CaseInsensitiveOption);
    const QString name = d.chain.last();
    if (microsoftRuntime.match(name).hasMatch())
        return LibraryCheck::tr("%1 belongs to Microsoft's Visual C++ runtime: install the Microsoft Visual C++ "
                                "Redistributable for %2 programs (x64 for 64-bit, x86 for 32-bit), or the runtime "
                                "the maker names for its library.")
            .arg(name, bits(programMachine));
    return LibraryCheck::tr("Install the runtime that the maker ships with its library (the %1 one), or copy the "
                            "DLLs that came with the maker's orv_api.dll, %2 among them, into this folder.")
        .arg(bits(programMachine), name);
}

QString told(const QString &path, const QString &why, const QString &whatToDo)
{
    return LibraryCheck::tr("The updater cannot use its device library,\n%1\n\n%2\n\n%3")
        .arg(QDir::toNativeSeparators(path), why, whatToDo);
}

// The file the loader would load for the program's first call: the first
// orv_api.dll in its search order, passing over those of another machine,
// as 64-bit Windows does; failing that, the first of another machine.
QString libraryWindowsFinds(const DllSearchOrder &order)
{
    const QStringList files = order.files(QStringLiteral("orv_api.dll"));
    for (const QString &file : files) {
        const PeFile library = PeFile::read(file);
        if (!library.isImage() || library.machine() == programMachine)
            return file;
    }
    return files.value(0);
}

} // namespace

LibraryCheck::LibraryCheck(const QString &programFolder)
{
    const DllSearchOrder order(programFolder);
    const QString found = libraryWindowsFinds(order);
    const QString path = found.isEmpty() ? programFolder + QStringLiteral("/orv_api.dll") : found;
    const QString ownPackage = packageFor(programMachine);
    const QString copyAgain = tr("Copy the maker's orv_api.dll for %1 programs into the updater's folder, beside "
                                 "orv1600-updater.exe, or unzip the updater's package (%2) again.")
                                  .arg(bits(programMachine), ownPackage);
    QFile file(path);
    if (found.isEmpty()) {
        m_problem = told(path, tr("The file is not there, nor in Windows' system folders, nor in any folder on PATH."),
                         copyAgain);
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_problem = told(path, tr("It cannot be read: %1.").arg(file.errorString()), copyAgain);
        return;
    }
    const PeFile library(file.readAll());
    file.close();
    if (!library.isLibrary()) {
        m_problem = told(path,
                         tr("It is not a Windows library: it lacks the header that every Windows DLL begins with. It "
                            "may be damaged, or another file under this name."),
                         copyAgain);
        return;
    }
    if (library.machine() != programMachine) {
        const QString other = packageFor(library.machine());
        m_problem = told(path,
                         tr("It is a %1 library, and this updater is a %2 program: Windows cannot load the one into "
                            "the other.")
                             .arg(bits(library.machine()), bits(programMachine)),
                         other.isEmpty() ? tr("Get the maker's orv_api.dll for %1 programs.").arg(bits(programMachine))
                                         : tr("This is the updater's %1 package, %2. With this DLL use the %3 package, "
                                              "%4, unzipped into a folder of its own; or get the maker's orv_api.dll "
                                              "for %1 programs.")
                                               .arg(bits(programMachine), ownPackage, bits(library.machine()), other));
        return;
    }

    // No system message box for a library that will not load: this check
    // says what is wrong.
    DWORD oldMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS, &oldMode);
    // Its own imports are looked for as the program's first call would
    // have them looked for: by name, in the program's order.
    const HMODULE module = LoadLibraryExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                                          nullptr, 0);
    const DWORD error = GetLastError();
    Dependency dependency;
    if (!module && unloadableImport(library, order, 0, &dependency))
        m_problem = told(path, whyNotLoaded(dependency), whatToInstall(dependency));
    SetThreadErrorMode(oldMode, nullptr);
    if (!module) {
        if (m_problem.isEmpty())
            m_problem = told(path, tr("Windows cannot load it: %1.").arg(windowsError(error)), copyAgain);
        return;
    }

    QStringList missing;
    for (const char *function : functions) {
        if (!GetProcAddress(module, function))
            missing << QLatin1String(function);
    }
    if (!missing.isEmpty()) {
        m_problem = told(path,
                         tr("It lacks functions that the updater calls: %1. It is another version of the maker's "
                            "library, or another device's.")
                             .arg(missing.join(QLatin1String(", "))),
                         tr("Get the maker's orv_api.dll for the ORV1600 that has these functions, for %1 programs.")
                             .arg(bits(programMachine)));
        FreeLibrary(module);
    }
    // A library that fits stays loaded: the program's first call into it
    // finds it by name and uses this very file.
}
