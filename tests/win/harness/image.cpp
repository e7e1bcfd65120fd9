#include "harness/image.h"

namespace kvt {
namespace {

const IMAGE_IMPORT_DESCRIPTOR* imports_of(HMODULE module) {
  auto* base = reinterpret_cast<const BYTE*>(module);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return nullptr;
  return reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
}

}  // namespace

std::vector<std::string> imported_dlls(HMODULE module) {
  std::vector<std::string> names;
  auto* base = reinterpret_cast<const char*>(module);
  for (auto* d = imports_of(module); d && d->Name; ++d) names.emplace_back(base + d->Name);
  return names;
}

void* patch_import(HMODULE module, const char* dll, const char* function, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(module);
  for (auto* d = imports_of(module); d && d->Name; ++d) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* by_name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (lstrcmpA(reinterpret_cast<const char*>(by_name->Name), function) != 0) continue;
      DWORD old;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
      void* previous = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      return previous;
    }
  }
  return nullptr;
}

VersionInfo version_info(const char* path) {
  VersionInfo v;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (!size) return v;
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path, 0, size, data.data())) return v;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) return v;
  v.found = true;
  const DWORD words[4] = {fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS, fixed->dwProductVersionLS};
  for (int i = 0; i < 2; ++i) {
    v.file[2 * i] = HIWORD(words[i]), v.file[2 * i + 1] = LOWORD(words[i]);
    v.product[2 * i] = HIWORD(words[2 + i]), v.product[2 * i + 1] = LOWORD(words[2 + i]);
  }
  auto text = [&](const char* name) {
    char* value = nullptr;
    UINT chars = 0;
    const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
    return VerQueryValueA(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &chars) && value ? std::string(value) : std::string();
  };
  v.file_version = text("FileVersion"), v.product_version = text("ProductVersion");
  v.description = text("FileDescription"), v.product_name = text("ProductName"), v.copyright = text("LegalCopyright");
  return v;
}

}  // namespace kvt
