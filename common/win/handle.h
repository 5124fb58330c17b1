// Move-only owners of kernel, GDI and user objects. Each kind knows its own empty value
// (INVALID_HANDLE_VALUE for files, null for everything else) and how to release itself.
#pragma once

#include <windows.h>

template <typename T, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T value) : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    T get() const { return value_; }
    bool valid() const { return value_ != Traits::empty(); }
    T release() {
        T v = value_;
        value_ = Traits::empty();
        return v;
    }
    // Stores `value` and hands back the previous one without closing it, so that a value other
    // threads read is replaced before the old one goes.
    T exchange(T value) {
        T old = value_;
        value_ = value;
        return old;
    }
    void reset(T value = Traits::empty()) {
        if (valid()) Traits::close(value_);
        value_ = value;
    }

private:
    T value_ = Traits::empty();
};

struct KernelHandleTraits {
    static HANDLE empty() { return nullptr; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct FileHandleTraits {
    static HANDLE empty() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};
struct FindHandleTraits {
    static HANDLE empty() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { FindClose(h); }
};
template <typename G>
struct GdiObjectTraits {
    static G empty() { return nullptr; }
    static void close(G h) { DeleteObject(h); }
};
struct AcceleratorTraits {
    static HACCEL empty() { return nullptr; }
    static void close(HACCEL h) { DestroyAcceleratorTable(h); }
};
struct HookTraits {
    static HHOOK empty() { return nullptr; }
    static void close(HHOOK h) { UnhookWindowsHookEx(h); }
};

using KernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using FileHandle = UniqueHandle<HANDLE, FileHandleTraits>;
using FindHandle = UniqueHandle<HANDLE, FindHandleTraits>;
using FontHandle = UniqueHandle<HFONT, GdiObjectTraits<HFONT>>;
using BrushHandle = UniqueHandle<HBRUSH, GdiObjectTraits<HBRUSH>>;
using PenHandle = UniqueHandle<HPEN, GdiObjectTraits<HPEN>>;
using AcceleratorHandle = UniqueHandle<HACCEL, AcceleratorTraits>;
using HookHandle = UniqueHandle<HHOOK, HookTraits>;

// A window's own DC from GetDC, given back with ReleaseDC to the same window.
class WindowDc {
public:
    WindowDc() = default;
    explicit WindowDc(HWND window) : window_(window), dc_(window ? GetDC(window) : nullptr) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    WindowDc(WindowDc&& other) noexcept : window_(other.window_), dc_(other.dc_) {
        other.window_ = nullptr;
        other.dc_ = nullptr;
    }
    WindowDc& operator=(WindowDc&& other) noexcept {
        if (this != &other) {
            reset();
            window_ = other.window_;
            dc_ = other.dc_;
            other.window_ = nullptr;
            other.dc_ = nullptr;
        }
        return *this;
    }
    ~WindowDc() { reset(); }

    HDC get() const { return dc_; }
    void reset() {
        if (dc_) ReleaseDC(window_, dc_);
        window_ = nullptr;
        dc_ = nullptr;
    }

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

// Selects an object into a device context for one scope and puts the previous one back.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};
