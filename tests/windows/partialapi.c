/* A device library with only the first function of orv_api.h; built with
 * MAKER_RUNTIME, one that also needs a runtime DLL that no PC has; with
 * INIT_FAILS, one that refuses to be loaded, as a DLL whose start-up fails
 * does. */
#ifdef MAKER_RUNTIME
__declspec(dllimport) const char *makerRuntimeVersion(void);
#define VERSION makerRuntimeVersion()
#else
#define VERSION "0.1-partial"
#endif

__declspec(dllexport) const char *__stdcall orvGetAPIVersion(void)
{
    return VERSION;
}

#ifdef INIT_FAILS
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reserved;
    return reason != DLL_PROCESS_ATTACH;
}
#endif
