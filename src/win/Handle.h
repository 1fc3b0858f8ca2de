#pragma once
// One move-only owner for every kind of Win32 handle. A traits class names the
// handle type, its "no handle" value and how to release it.

#include <windows.h>

#include <utility>

template <class Traits>
class TUnique {
public:
  using type = typename Traits::type;

  TUnique() noexcept = default;
  explicit TUnique(type Handle) noexcept : FHandle(Handle) {}
  TUnique(TUnique&& Other) noexcept : FHandle(Other.release()) {}
  TUnique& operator=(TUnique&& Other) noexcept {
    reset(Other.release());
    return *this;
  }
  TUnique(const TUnique&) = delete;
  TUnique& operator=(const TUnique&) = delete;
  ~TUnique() { reset(); }

  type get() const noexcept { return FHandle; }
  explicit operator bool() const noexcept { return FHandle != Traits::invalid(); }

  type release() noexcept { return std::exchange(FHandle, Traits::invalid()); }
  void reset(type Handle = Traits::invalid()) noexcept {
    type Old = std::exchange(FHandle, Handle);
    if (Old != Traits::invalid()) Traits::close(Old);
  }
  // For out-parameters of the creating call: releases what is held first.
  type* put() noexcept {
    reset();
    return &FHandle;
  }

private:
  type FHandle = Traits::invalid();
};

namespace handle_traits {

template <class T, auto Close>
struct NullIsInvalid {
  using type = T;
  static type invalid() noexcept { return nullptr; }
  static void close(type H) noexcept { Close(H); }
};

template <auto Close>
struct MinusOneIsInvalid {
  using type = HANDLE;
  static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(type H) noexcept { Close(H); }
};

inline void CloseKey(HKEY Key) noexcept { RegCloseKey(Key); }
inline void CloseGdi(HGDIOBJ Object) noexcept { DeleteObject(Object); }

}  // namespace handle_traits

using TKernelHandle = TUnique<handle_traits::NullIsInvalid<HANDLE, CloseHandle>>;
using TFileHandle = TUnique<handle_traits::MinusOneIsInvalid<CloseHandle>>;
using TFindHandle = TUnique<handle_traits::MinusOneIsInvalid<FindClose>>;
using TRegKey = TUnique<handle_traits::NullIsInvalid<HKEY, handle_traits::CloseKey>>;
using TModule = TUnique<handle_traits::NullIsInvalid<HMODULE, FreeLibrary>>;
using TGdiObject = TUnique<handle_traits::NullIsInvalid<HGDIOBJ, handle_traits::CloseGdi>>;
using TIcon = TUnique<handle_traits::NullIsInvalid<HICON, DestroyIcon>>;
using TMenu = TUnique<handle_traits::NullIsInvalid<HMENU, DestroyMenu>>;
