// One owner per Windows handle: the handle is released exactly once, when its
// owner is reset or goes out of scope.
#pragma once

#include <windows.h>

#include <utility>

namespace harkwell::ui {

template <typename Handle, auto Release>
class Owned {
 public:
  constexpr Owned() noexcept = default;
  explicit Owned(Handle handle) noexcept : handle_(handle) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : handle_(other.release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~Owned() { reset(); }

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != nullptr; }

  void reset(Handle handle = nullptr) noexcept {
    Handle old = std::exchange(handle_, handle);
    if (old != nullptr) Release(old);
  }
  // Gives the handle up without releasing it, for a handle Windows has
  // already destroyed (a window past WM_NCDESTROY).
  Handle release() noexcept { return std::exchange(handle_, nullptr); }

 private:
  Handle handle_ = nullptr;
};

namespace owned_detail {
inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void DestroyIconHandle(HICON icon) { DestroyIcon(icon); }
inline void DestroyWindowHandle(HWND window) { DestroyWindow(window); }
}  // namespace owned_detail

using OwnedFont = Owned<HFONT, owned_detail::DeleteGdiObject>;
using OwnedIcon = Owned<HICON, owned_detail::DestroyIconHandle>;
using OwnedWindow = Owned<HWND, owned_detail::DestroyWindowHandle>;

}  // namespace harkwell::ui
