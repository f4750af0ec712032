/*
 * A device library header as a maker might write it: its own names for the
 * results, a calling-convention and export macro of its own, plain int
 * types. The updater must build against any header that declares the
 * twelve operations with these arguments.
 */
#ifndef ORVAPI_MAKER_H
#define ORVAPI_MAKER_H

#if defined(_WIN32)
#  if defined(ORVAPI_EXPORTS)
#    define ORVAPI __declspec(dllexport)
#  else
#    define ORVAPI __declspec(dllimport)
#  endif
#  define ORVCC __stdcall
#else
#  define ORVAPI __attribute__((visibility("default")))
#  define ORVCC
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef enum tagORVStatus {
    ORVSTATUS_OK = 0,
    ORVSTATUS_GENERIC_FAILURE = 0x1000,
    ORVSTATUS_NOT_CONNECTED,
    ORVSTATUS_TIMEOUT
} ORVStatus;

typedef int ORV_INT32;

ORVAPI const char *ORVCC orvGetAPIVersion(void);
ORVAPI ORVStatus ORVCC orvConfigNetGetDeviceList(ORV_INT32 *pSerials, ORV_INT32 *pCount);
ORVAPI ORVStatus ORVCC orvConfigNetOpenDevice(ORV_INT32 *pHandle, ORV_INT32 serial);
ORVAPI ORVStatus ORVCC orvConfigNetCloseDevice(ORV_INT32 handle);
ORVAPI ORVStatus ORVCC orvConfigNetGetFirmwareVersion(ORV_INT32 handle, ORV_INT32 *pVersion);
ORVAPI ORVStatus ORVCC orvConfigNetGetFPGAStatus(ORV_INT32 handle, ORV_INT32 *pStatus);
ORVAPI ORVStatus ORVCC orvConfigNetClearFx3(ORV_INT32 handle);
ORVAPI ORVStatus ORVCC orvConfigNetWriteFx3(ORV_INT32 handle, const char *szPath, ORV_INT32 serial);
ORVAPI ORVStatus ORVCC orvConfigNetClearFPGA(ORV_INT32 handle);
ORVAPI ORVStatus ORVCC orvConfigNetWriteFGPA(ORV_INT32 handle, const char *szPath);
ORVAPI ORVStatus ORVCC orvConfigNetPreset(ORV_INT32 handle);
ORVAPI ORVStatus ORVCC orvConfigNetBootstrapDevice(ORV_INT32 *pHandle, const char *szFx3Path);

#ifdef __cplusplus
}
#endif

#endif
