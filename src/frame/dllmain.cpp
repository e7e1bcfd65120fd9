// The library's entry point: set-up at process attach, clean-up at detach.
#include <windows.h>

#include "frame/plugin.h"
#ifdef KV_CHECKED
#include "frame/checked.h"
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) kv::frame::set_up();
  if (reason == DLL_PROCESS_DETACH) {
#ifdef KV_CHECKED
    kv::checked::report_leaks();  // the checked build names the values left alive
#endif
    kv::frame::clean_up();
  }
  return TRUE;
}
