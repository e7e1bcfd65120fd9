// The Windows side of the platform layer: one private heap, GetProcAddress on the
// host's modules, and the fatal message box kept modal over the host's windows.
#include "frame/platform.h"

#include <windows.h>

namespace kv::platform {
namespace {

HANDLE heap = nullptr;

// A window of the calling thread that the message box took out of the way.
struct SetAside {
  HWND window;
  bool disabled;
  bool untopped;
};

struct SetAsideList {
  SetAside* items = nullptr;
  unsigned count = 0;
  unsigned capacity = 0;
  HWND foreground = nullptr;
};

BOOL CALLBACK set_aside(HWND window, LPARAM param) {
  auto* list = reinterpret_cast<SetAsideList*>(param);
  if (window == list->foreground || !IsWindowVisible(window)) return TRUE;
  const bool enabled = IsWindowEnabled(window) != FALSE;
  const bool topmost = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  if (!enabled && !topmost) return TRUE;
  if (list->count == list->capacity) {
    const unsigned capacity = list->capacity ? list->capacity * 2 : 8;
    void* grown = heap_realloc(list->items, capacity * sizeof(SetAside));
    if (!grown) return FALSE;  // leave the rest as they are rather than lose track
    list->items = static_cast<SetAside*>(grown);
    list->capacity = capacity;
  }
  if (enabled) EnableWindow(window, FALSE);
  if (topmost) {
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  list->items[list->count++] = {window, enabled, topmost};
  return TRUE;
}

}  // namespace

void heap_create() { heap = HeapCreate(0, 4096, 0); }

void heap_destroy() {
  if (heap) HeapDestroy(heap);
  heap = nullptr;
}

void* heap_alloc(std::size_t bytes) { return heap ? HeapAlloc(heap, 0, bytes) : nullptr; }

void* heap_realloc(void* block, std::size_t bytes) {
  if (!block) return heap_alloc(bytes);
  return heap ? HeapReAlloc(heap, 0, block, bytes) : nullptr;
}

void heap_free(void* block) {
  if (heap && block) HeapFree(heap, 0, block);
}

void* resolve(std::uint32_t module, const char* name) {
  HMODULE handle = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(module));
  return reinterpret_cast<void*>(GetProcAddress(handle, name));
}

void show_fatal_message(const char* caption, const char* text) {
  SetAsideList list;
  list.foreground = GetForegroundWindow();
  DWORD process = 0;
  if (list.foreground) GetWindowThreadProcessId(list.foreground, &process);
  HWND owner = process == GetCurrentProcessId() ? list.foreground : nullptr;

  EnumThreadWindows(GetCurrentThreadId(), set_aside, reinterpret_cast<LPARAM>(&list));
  MessageBoxA(owner, text, caption, 0);
  for (unsigned i = 0; i < list.count; ++i) {
    const SetAside& w = list.items[i];
    if (w.disabled) EnableWindow(w.window, TRUE);
    if (w.untopped) {
      SetWindowPos(w.window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  heap_free(list.items);
}

}  // namespace kv::platform
