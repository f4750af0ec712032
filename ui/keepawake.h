#ifndef KEEPAWAKE_H
#define KEEPAWAKE_H

// Keeps the PC from sleeping for as long as an instance lives, so that the
// USB link does not drop in the middle of a write. A no-op where the
// platform needs nothing.
class KeepAwake
{
public:
    KeepAwake();
    ~KeepAwake();
    KeepAwake(const KeepAwake &) = delete;
    KeepAwake &operator=(const KeepAwake &) = delete;

    static bool isHeld();
};

#endif // KEEPAWAKE_H
