#include "keepawake.h"

KeepAwake::KeepAwake(QWidget *window)
    : window(window)
{
    holdSystem();
}

KeepAwake::~KeepAwake()
{
    releaseSystem();
}
