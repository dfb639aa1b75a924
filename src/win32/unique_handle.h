#pragma once
// One move-only owner for every kind of Win32 handle: the traits give the type,
// its invalid value and how to close it; put() releases first; no implicit
// conversion to the raw handle.
#include <windows.h>

#include <utility>

namespace tidewell::win32 {

template <typename Traits> class UniqueAny {
public:
    using pointer = typename Traits::type;
    UniqueAny() noexcept = default;
    explicit UniqueAny(pointer h) noexcept : h_(h) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& o) noexcept : h_(o.release()) {}
    UniqueAny& operator=(UniqueAny&& o) noexcept {
        if (this != &o) {
            reset(o.release());
        }
        return *this;
    }
    ~UniqueAny() { reset(); }

    pointer get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::invalid(); }
    pointer release() noexcept { return std::exchange(h_, Traits::invalid()); }
    void reset(pointer h = Traits::invalid()) noexcept {
        pointer old = std::exchange(h_, h);
        if (old != Traits::invalid()) {
            Traits::close(old);
        }
    }
    // For out-parameters: releases what is held, then hands out the slot.
    pointer* put() noexcept {
        reset();
        return &h_;
    }

private:
    pointer h_ = Traits::invalid();
};

template <typename T, auto CloseFn> struct NullInvalidTraits {
    using type = T;
    static constexpr T invalid() noexcept { return nullptr; }
    static void close(T h) noexcept { CloseFn(h); }
};

// Handles whose "none" is INVALID_HANDLE_VALUE (CreateFile, FindFirstFile).
template <auto CloseFn> struct InvalidValueTraits {
    using type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { CloseFn(h); }
};

namespace detail {
inline void closeHandle(HANDLE h) noexcept {
    ::CloseHandle(h);
}
inline void findClose(HANDLE h) noexcept {
    ::FindClose(h);
}
inline void closeKey(HKEY h) noexcept {
    ::RegCloseKey(h);
}
inline void freeLibrary(HMODULE h) noexcept {
    ::FreeLibrary(h);
}
inline void deleteObject(HGDIOBJ h) noexcept {
    ::DeleteObject(h);
}
inline void destroyIcon(HICON h) noexcept {
    ::DestroyIcon(h);
}
inline void destroyMenu(HMENU h) noexcept {
    ::DestroyMenu(h);
}
inline void unhookHook(HHOOK h) noexcept {
    ::UnhookWindowsHookEx(h);
}
inline void destroyWindow(HWND h) noexcept {
    ::DestroyWindow(h);
}
inline void localFree(void* p) noexcept {
    ::LocalFree(p);
}
} // namespace detail

// Kernel objects that use NULL as "none" (mutexes, events, processes, threads).
using UniqueHandle = UniqueAny<NullInvalidTraits<HANDLE, detail::closeHandle>>;
// CreateFile's INVALID_HANDLE_VALUE convention.
using UniqueFile = UniqueAny<InvalidValueTraits<detail::closeHandle>>;
using UniqueFind = UniqueAny<InvalidValueTraits<detail::findClose>>;
using UniqueKey = UniqueAny<NullInvalidTraits<HKEY, detail::closeKey>>;
using UniqueModule = UniqueAny<NullInvalidTraits<HMODULE, detail::freeLibrary>>;
using UniqueGdiObject = UniqueAny<NullInvalidTraits<HGDIOBJ, detail::deleteObject>>;
using UniqueFont = UniqueAny<NullInvalidTraits<HFONT, detail::deleteObject>>;
using UniqueBrush = UniqueAny<NullInvalidTraits<HBRUSH, detail::deleteObject>>;
using UniqueBitmap = UniqueAny<NullInvalidTraits<HBITMAP, detail::deleteObject>>;
using UniqueIcon = UniqueAny<NullInvalidTraits<HICON, detail::destroyIcon>>;
using UniqueMenu = UniqueAny<NullInvalidTraits<HMENU, detail::destroyMenu>>;
using UniqueHook = UniqueAny<NullInvalidTraits<HHOOK, detail::unhookHook>>;
using UniqueWindow = UniqueAny<NullInvalidTraits<HWND, detail::destroyWindow>>;
// Memory the system allocated for us with LocalAlloc (FormatMessage's buffer).
template <typename T> using UniqueLocalMem = UniqueAny<NullInvalidTraits<T, detail::localFree>>;

// A device context from GetDC, given back with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_) {
            ::ReleaseDC(hwnd_, dc_);
        }
    }
    HDC get() const noexcept { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(::SelectObject(dc, obj)) {}
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;
    ~SelectObjectScope() { ::SelectObject(dc_, old_); }

private:
    HDC dc_;
    HGDIOBJ old_;
};

} // namespace tidewell::win32
