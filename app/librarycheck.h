#ifndef LIBRARYCHECK_H
#define LIBRARYCHECK_H

#include <QCoreApplication>
#include <QString>

// Whether the device library that the program will call can be loaded and
// offers every function the updater calls. On Windows the program loads
// orv_api.dll at its first call into it, from wherever Windows' loader
// finds it: the check looks for it in the loader's order and checks that
// file, so that a DLL that does not fit (missing, 32 instead of 64 bits, a
// runtime it needs not installed, an older version) is told to the
// operator in words, naming the file, not by the loader. A library that
// fits stays loaded: it is the one the program then calls. Elsewhere the
// system's loader has bound the library before the program starts.
class LibraryCheck
{
    Q_DECLARE_TR_FUNCTIONS(LibraryCheck)

public:
    explicit LibraryCheck(const QString &programFolder);

    bool fits() const { return m_problem.isEmpty(); }
    // Which file, what is wrong with it and what to do, in the operator's
    // words; empty when it fits.
    QString problem() const { return m_problem; }

private:
    QString m_problem;
};

#endif
