// One owner per Windows handle: the handle is released exactly once, when its
// owner is reset or goes out of scope. Which values mean "none" is the
// owner's policy: most handles use null alone, file handles also
// INVALID_HANDLE_VALUE, which is what CreateFile returns on failure.
#pragma once

#include <windows.h>

#include <utility>

namespace harkwell::platform {

struct NullIsNone {
  template <typename Handle>
  static bool IsNone(Handle handle) noexcept {
    return handle == Handle{};
  }
};

struct NullOrInvalidIsNone {
  template <typename Handle>
  static bool IsNone(Handle handle) noexcept {
    return handle == Handle{} || handle == INVALID_HANDLE_VALUE;
  }
};

template <typename Handle, auto Release, typename None = NullIsNone>
class Owned {
 public:
  constexpr Owned() noexcept = default;
  explicit Owned(Handle handle) noexcept : handle_(handle) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : handle_(other.release()) {}
  // Safe into itself too: release empties the owner before reset looks at it.
  Owned& operator=(Owned&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~Owned() { reset(); }

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return !None::IsNone(handle_); }

  void reset(Handle handle = Handle{}) noexcept {
    const Handle old = std::exchange(handle_, handle);
    if (!None::IsNone(old)) Release(old);
  }
  // Gives the handle up without releasing it, for a handle Windows has
  // already destroyed (a window past WM_NCDESTROY) or that is to live on.
  Handle release() noexcept { return std::exchange(handle_, Handle{}); }

 private:
  Handle handle_{};
};

namespace owned_detail {
// Windows' release functions as plain functions, whatever their calling convention.
inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void DestroyIconHandle(HICON icon) { DestroyIcon(icon); }
inline void DestroyWindowHandle(HWND window) { DestroyWindow(window); }
inline void FreeLibraryModule(HMODULE module) { FreeLibrary(module); }
inline void FreeLocalMemory(HLOCAL memory) { LocalFree(memory); }
}  // namespace owned_detail

using OwnedHandle = Owned<HANDLE, owned_detail::CloseKernelHandle>;
using OwnedFile = Owned<HANDLE, owned_detail::CloseKernelHandle, NullOrInvalidIsNone>;
using OwnedModule = Owned<HMODULE, owned_detail::FreeLibraryModule>;
using OwnedFont = Owned<HFONT, owned_detail::DeleteGdiObject>;
using OwnedIcon = Owned<HICON, owned_detail::DestroyIconHandle>;
using OwnedWindow = Owned<HWND, owned_detail::DestroyWindowHandle>;

}  // namespace harkwell::platform
