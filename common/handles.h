#pragma once
// Owners for every Win32 handle, module, GDI object, device context, selection
// and COM pointer the installer holds.
#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <utility>

namespace tovarin {

// Invalid names the "none" value: a type with a static value() (a pointer
// constant such as INVALID_HANDLE_VALUE cannot be a template argument).
template <typename T, typename Invalid, typename Close>
class BasicUniqueResource {
public:
    BasicUniqueResource() = default;
    explicit BasicUniqueResource(T value) : value_(value) {}
    BasicUniqueResource(const BasicUniqueResource&) = delete;
    BasicUniqueResource& operator=(const BasicUniqueResource&) = delete;
    BasicUniqueResource(BasicUniqueResource&& other) noexcept : value_(other.release()) {}
    BasicUniqueResource& operator=(BasicUniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~BasicUniqueResource() { reset(); }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != Invalid::value(); }
    T release() { return std::exchange(value_, Invalid::value()); }
    void reset(T value = Invalid::value()) {
        if (value_ != Invalid::value()) Close{}(value_);
        value_ = value;
    }
    // For out-parameters of APIs that create the object.
    T* put() {
        reset();
        return &value_;
    }

private:
    T value_ = Invalid::value();
};

template <typename T, T V>
struct ConstantValue {
    static constexpr T value() { return V; }
};
struct InvalidHandleValue {
    static HANDLE value() { return INVALID_HANDLE_VALUE; }
};

// Resources whose "none" value is a constant expression (null, usually).
template <typename T, T Invalid, typename Close>
using UniqueResource = BasicUniqueResource<T, ConstantValue<T, Invalid>, Close>;

struct CloseHandleFn {
    void operator()(HANDLE h) const { ::CloseHandle(h); }
};
struct FreeLibraryFn {
    void operator()(HMODULE m) const { ::FreeLibrary(m); }
};
struct DeleteObjectFn {
    void operator()(HGDIOBJ o) const { ::DeleteObject(o); }
};
struct DestroyWindowFn {
    void operator()(HWND w) const { ::DestroyWindow(w); }
};
struct LocalFreeFn {
    void operator()(void* p) const { ::LocalFree(p); }
};
struct FindCloseFn {
    void operator()(HANDLE h) const { ::FindClose(h); }
};
// Kernel objects that use null for "none" (mutex, thread, event).
using UniqueHandle = UniqueResource<HANDLE, nullptr, CloseHandleFn>;
// File handles use INVALID_HANDLE_VALUE for "none".
using UniqueFile = BasicUniqueResource<HANDLE, InvalidHandleValue, CloseHandleFn>;
using UniqueFind = BasicUniqueResource<HANDLE, InvalidHandleValue, FindCloseFn>;
using UniqueModule = UniqueResource<HMODULE, nullptr, FreeLibraryFn>;
using UniqueWindow = UniqueResource<HWND, nullptr, DestroyWindowFn>;
struct DestroyIconFn {
    void operator()(HICON i) const { ::DestroyIcon(i); }
};
// An icon loaded at a size of the caller's (LoadImageW without LR_SHARED).
using UniqueIcon = UniqueResource<HICON, nullptr, DestroyIconFn>;
// A buffer the system allocated for the caller with LocalAlloc (FormatMessageW, security descriptors, SIDs).
template <typename T>
using UniqueLocal = UniqueResource<T*, nullptr, LocalFreeFn>;

template <typename T>
using UniqueGdi = UniqueResource<T, nullptr, DeleteObjectFn>;
using UniqueBitmap = UniqueGdi<HBITMAP>;
using UniqueFont = UniqueGdi<HFONT>;
using UniqueBrush = UniqueGdi<HBRUSH>;
using UniqueRegion = UniqueGdi<HRGN>;

struct DeleteDCFn {
    void operator()(HDC dc) const { ::DeleteDC(dc); }
};
// A memory device context (CreateCompatibleDC).
using UniqueMemoryDC = UniqueResource<HDC, nullptr, DeleteDCFn>;

// A window's device context, GetDC (client area) or GetWindowDC (the whole
// window), released on the way out.
class WindowDC {
public:
    static WindowDC Client(HWND window) { return WindowDC(window, ::GetDC(window)); }
    static WindowDC Whole(HWND window) { return WindowDC(window, ::GetWindowDC(window)); }
    WindowDC(WindowDC&& other) noexcept : window_(other.window_), dc_(std::exchange(other.dc_, nullptr)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    WindowDC& operator=(WindowDC&&) = delete;
    ~WindowDC() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    WindowDC(HWND window, HDC dc) : window_(window), dc_(dc) {}
    HWND window_;
    HDC dc_;
};

// WM_PAINT's device context: BeginPaint, and EndPaint on the way out.
class PaintDC {
public:
    explicit PaintDC(HWND window) : window_(window) { dc_ = ::BeginPaint(window, &ps_); }
    ~PaintDC() { ::EndPaint(window_, &ps_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC get() const { return dc_; }
    const RECT& Dirty() const { return ps_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_ = nullptr;
};

// An object selected into a device context; the one it replaced goes back in
// on the way out. Selecting into no context, or nothing, does nothing.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(dc && object ? ::SelectObject(dc, object) : nullptr) {}
    ~Selection() {
        if (old_) ::SelectObject(dc_, old_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A clipping region selected into a device context (the context keeps a
// copy); the clipping before goes back on the way out.
class ClipSelection {
public:
    ClipSelection(HDC dc, HRGN region) : dc_(dc), old_(::CreateRectRgn(0, 0, 0, 0)) {
        // 1: there was a clipping region, now copied; 0: there was none.
        if (old_ && ::GetClipRgn(dc, old_.get()) != 1) old_.reset();
        if (region) ::SelectClipRgn(dc, region);
    }
    ~ClipSelection() { ::SelectClipRgn(dc_, old_.get()); }
    ClipSelection(const ClipSelection&) = delete;
    ClipSelection& operator=(const ClipSelection&) = delete;

private:
    HDC dc_;
    UniqueRegion old_;
};

struct SysFreeStringFn {
    void operator()(BSTR s) const { ::SysFreeString(s); }
};
// A string handed across an automation interface.
using UniqueBstr = UniqueResource<BSTR, nullptr, SysFreeStringFn>;

// An automation argument; what it holds (a string, an interface) goes with it.
class UniqueVariant {
public:
    UniqueVariant() { ::VariantInit(&v_); }
    ~UniqueVariant() { ::VariantClear(&v_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    static UniqueVariant Int(LONG value) {
        UniqueVariant out;
        out.v_.vt = VT_I4;
        out.v_.lVal = value;
        return out;
    }
    // Takes the string over.
    static UniqueVariant String(UniqueBstr text) {
        UniqueVariant out;
        if (text) {
            out.v_.vt = VT_BSTR;
            out.v_.bstrVal = text.release();
        }
        return out;
    }
    UniqueVariant(UniqueVariant&& other) noexcept : v_(other.v_) { ::VariantInit(&other.v_); }
    UniqueVariant& operator=(UniqueVariant&&) = delete;
    const VARIANT& get() const { return v_; }
    VARIANT* ptr() { return &v_; }

private:
    VARIANT v_;
};

// A COM interface pointer holding one reference.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller already owns.
    static ComPtr Attach(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    // Adds a reference of its own.
    static ComPtr Copy(T* p) {
        if (p) p->AddRef();
        return Attach(p);
    }
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* detach() { return std::exchange(p_, nullptr); }
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

    template <typename U>
    ComPtr<U> query(REFIID iid) const {
        ComPtr<U> out;
        if (p_) p_->QueryInterface(iid, out.put_void());
        return out;
    }

private:
    T* p_ = nullptr;
};

}  // namespace tovarin
