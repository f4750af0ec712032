/* Stands in for the maker's library, behind its header: no device. */
#define ORVAPI_EXPORTS
#include "orv_api.h"

const char *ORVCC orvGetAPIVersion(void) { return "9.9-standin"; }
ORVStatus ORVCC orvConfigNetGetDeviceList(ORV_INT32 *pSerials, ORV_INT32 *pCount) { (void)pSerials; *pCount = 0; return ORVSTATUS_OK; }
ORVStatus ORVCC orvConfigNetOpenDevice(ORV_INT32 *pHandle, ORV_INT32 serial) { (void)pHandle; (void)serial; return ORVSTATUS_NOT_CONNECTED; }
ORVStatus ORVCC orvConfigNetCloseDevice(ORV_INT32 handle) { (void)handle; return ORVSTATUS_NOT_CONNECTED; }
ORVStatus ORVCC orvConfigNetGetFirmwareVersion(ORV_INT32 handle, ORV_INT32 *pVersion) { (void)handle; (void)pVersion; return ORVSTATUS_NOT_CONNECTED; }
ORVStatus ORVCC orvConfigNetGetFPGAStatus(ORV_INT32 handle, ORV_INT32 *pStatus) { (void)handle; (void)pStatus; return ORVSTATUS_NOT_CONNECTED; }
ORVStatus ORVCC orvConfigNetClearFx3(ORV_INT32 handle) { (void)handle; return ORVSTATUS_NOT_CONNECTED; }
ORVStatus ORVCC orvConfigNetWriteFx3(ORV_INT32 handle, const char *szPath, ORV_INT32 serial) { (void)handle; (void)szPath; (void)serial; return ORVSTATUS_NOT_CONNECTED; }
ORVStatus ORVCC orvConfigNetClearFPGA(ORV_INT32 handle) { (void)handle; return ORVSTATUS_NOT_CONNECTED; }
ORVStatus ORVCC orvConfigNetWriteFGPA(ORV_INT32 handle, const char *szPath) { (void)handle; (void)szPath; return ORVSTATUS_NOT_CONNECTED; }
ORVStatus ORVCC orvConfigNetPreset(ORV_INT32 handle) { (void)handle; return ORVSTATUS_NOT_CONNECTED; }
ORVStatus ORVCC orvConfigNetBootstrapDevice(ORV_INT32 *pHandle, const char *szFx3Path) { (void)pHandle; (void)szFx3Path; return ORVSTATUS_NOT_CONNECTED; }
