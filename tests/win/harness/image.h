// Looking into a loaded module's import table: which DLLs it imports, and
// redirecting one imported function, as a test spy, without changing the module.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kvt {

std::vector<std::string> imported_dlls(HMODULE module);

// The version resource of a DLL or program file, as Windows' file properties show it.
struct VersionInfo {
  bool found = false;
  unsigned file[4] = {}, product[4] = {};  // from the fixed part
  std::string file_version, product_version, description, product_name, copyright;
};
VersionInfo version_info(const char* path);

// Points the module's import of `function` from `dll` at `replacement` and returns
// the address it held, or null when the module does not import it.
void* patch_import(HMODULE module, const char* dll, const char* function, void* replacement);

// Patches an import for the lifetime of the object.
class ImportPatch {
 public:
  ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement)
      : module_(module), dll_(dll), function_(function),
        original_(patch_import(module, dll, function, replacement)) {}
  ~ImportPatch() {
    if (original_) patch_import(module_, dll_, function_, original_);
  }
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;
  void* original() const { return original_; }

 private:
  HMODULE module_;
  const char* dll_;
  const char* function_;
  void* original_;
};

}  // namespace kvt
