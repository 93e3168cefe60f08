/* Stand-ins for the archive library: a module without CreateObject and one
   with CreateObject but without GetHandlerProperty. */
#include <windows.h>

#ifdef WITH_CREATE_OBJECT
__declspec(dllexport) HRESULT WINAPI CreateObject(const GUID* classId, const GUID* iid, void** object) {
    (void)classId;
    (void)iid;
    if (object) *object = NULL;
    return E_NOTIMPL;
}
#else
__declspec(dllexport) int FakeEntry(void) { return 0; }
#endif
