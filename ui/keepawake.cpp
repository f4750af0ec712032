#include "keepawake.h"

namespace {
int holders = 0; // GUI thread only
}

KeepAwake::KeepAwake(QWidget *window)
    : window(window)
{
    if (holders++ > 0)
        return;
    holdSystem();
}

KeepAwake::~KeepAwake()
{
    if (--holders > 0)
        return;
    releaseSystem();
}

bool KeepAwake::isHeld()
{
    return holders > 0;
}
