#ifndef KEEPAWAKE_H
#define KEEPAWAKE_H

class QWidget;

// For as long as an instance lives, a write is under way: the PC must not
// sleep, or the USB link drops in the middle of it, and on Windows a
// shutdown or log-off is refused with a reason that Windows shows the user
// (the program's own refusal comes from its session handling). A no-op
// where the platform needs nothing.
class KeepAwake
{
public:
    explicit KeepAwake(QWidget *window);
    ~KeepAwake();
    KeepAwake(const KeepAwake &) = delete;
    KeepAwake &operator=(const KeepAwake &) = delete;

private:
    // What the system is asked: keepawake_win.cpp, keepawake_unix.cpp.
    void holdSystem();
    void releaseSystem();

    [[maybe_unused]] QWidget *window; // whose shutdown refusal carries the reason
};

#endif // KEEPAWAKE_H
