/*
 * The ORV1600 device configuration library, as this updater calls it.
 *
 * Any library that offers these functions with these arguments can stand
 * behind them: the maker's own library or the project's simulated device.
 */
#ifndef ORV_API_H
#define ORV_API_H

#include <stdint.h>

#if defined(_WIN32)
#define ORV_CALL __stdcall
#else
#define ORV_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* 0 is success; every other value is a failure. */
typedef enum ORVStatus {
    ORV_SUCCESS = 0,
    ORV_ERROR = 1,            /* unspecified failure */
    ORV_NO_DEVICE = 2,        /* no such device, or it went away */
    ORV_INVALID_HANDLE = 3,   /* the handle is not open */
    ORV_INVALID_ARGUMENT = 4, /* a null pointer or an out-of-range value */
    ORV_BAD_IMAGE = 5,        /* the image file is missing, unreadable or not for this store */
    ORV_NOT_ERASED = 6,       /* a write into a store that was not cleared first */
    ORV_BUSY = 7,             /* the device is open in another process */
    ORV_STATUS_FORCE_32BIT = 0x7fffffff
} ORVStatus;

const char *ORV_CALL orvGetAPIVersion(void);
ORVStatus ORV_CALL orvConfigNetGetDeviceList(int32_t *serialNumbers, int32_t *count);
ORVStatus ORV_CALL orvConfigNetOpenDevice(int32_t *handle, int32_t serialNumber);
ORVStatus ORV_CALL orvConfigNetCloseDevice(int32_t handle);
ORVStatus ORV_CALL orvConfigNetGetFirmwareVersion(int32_t handle, int32_t *version);
ORVStatus ORV_CALL orvConfigNetGetFPGAStatus(int32_t handle, int32_t *status);
ORVStatus ORV_CALL orvConfigNetClearFx3(int32_t handle);
ORVStatus ORV_CALL orvConfigNetWriteFx3(int32_t handle, const char *imagePath, int32_t serialNumber);
ORVStatus ORV_CALL orvConfigNetClearFPGA(int32_t handle);
ORVStatus ORV_CALL orvConfigNetWriteFGPA(int32_t handle, const char *imagePath);
ORVStatus ORV_CALL orvConfigNetPreset(int32_t handle);
ORVStatus ORV_CALL orvConfigNetBootstrapDevice(int32_t *handle, const char *fx3ImagePath);

#ifdef __cplusplus
}
#endif

#endif /* ORV_API_H */
