#ifndef SINGLEINSTANCE_H
#define SINGLEINSTANCE_H

#include <QtGlobal>

// The mark that an updater runs on this PC: two copies would write the same
// device at once. The operating system drops it when the process ends,
// however it ends, and it leaves nothing behind.
class SingleInstance
{
public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // Whether this process holds the mark; false when another copy runs.
    bool isOnlyOne() const { return onlyOne; }

private:
    bool onlyOne = true;
    // Each system's own mark, -1 when none is held: a named mutex's handle
    // (singleinstance_win.cpp) or a socket (singleinstance_unix.cpp).
    qintptr mark = -1;
};

#endif // SINGLEINSTANCE_H
