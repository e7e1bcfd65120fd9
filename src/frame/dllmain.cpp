// The library's entry point: set-up at process attach, clean-up at detach.
#include <windows.h>

#include "frame/plugin.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) kv::frame::set_up();
  if (reason == DLL_PROCESS_DETACH) kv::frame::clean_up();
  return TRUE;
}
