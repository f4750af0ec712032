#ifndef DLLSEARCHORDER_H
#define DLLSEARCHORDER_H

#include <QString>
#include <QStringList>

// The folders in which Windows' loader looks for a DLL that the program
// imports by name, once it is neither loaded yet, nor one of Windows' known
// DLLs, nor redirected (the program has a manifest, so Windows ignores a
// .local file beside it): the program's folder; the system folder as this
// process sees it (SysWOW64 for a 32-bit program on 64-bit Windows); the
// 16-bit system folder; the Windows folder; the folders on PATH. The
// current folder would come before PATH: making the order takes it out of
// this process's search, so that the device library is never taken from
// whatever folder the updater was started in.
class DllSearchOrder
{
public:
    explicit DllSearchOrder(const QString &programFolder);

    // The files of that name in those folders, in the order the loader
    // meets them.
    QStringList files(const QString &name) const;

private:
    QStringList m_folders;
};

#endif // DLLSEARCHORDER_H
