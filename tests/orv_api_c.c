/* The device library's header must serve C callers as well. */
#include "orv_api.h"

int orvApiHeaderIsC(void)
{
    int32_t handle = -1;
    return (int)sizeof(ORVStatus) + (int)sizeof(&orvConfigNetWriteFGPA) + (int)handle;
}
