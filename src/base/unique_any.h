#pragma once
// Move-only owners for Windows handles and other resources.
//
// unique_any<Traits> holds one value of Traits::type, knows its invalid value
// (Traits::invalid()) and releases it with Traits::close(). Closing keeps
// GetLastError() intact, so a wrapper going out of scope on a failure path
// never hides the error that caused it.
#include <windows.h>
#include <oleauto.h>
#include <wincrypt.h>
#include <msi.h>

#include <utility>

namespace base {

template <typename Traits>
class unique_any {
public:
    using type = typename Traits::type;

    unique_any() noexcept : value_(Traits::invalid()) {}
    explicit unique_any(type value) noexcept : value_(value) {}
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~unique_any() { reset(); }

    type get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without closing.
    type release() noexcept {
        type value = value_;
        value_ = Traits::invalid();
        return value;
    }

    void reset(type value = Traits::invalid()) noexcept {
        if (valid()) {
            const DWORD lastError = ::GetLastError();
            Traits::close(value_);
            ::SetLastError(lastError);
        }
        value_ = value;
    }

    // For out-parameters: closes the current value and returns its address.
    type* put() noexcept {
        reset();
        return &value_;
    }

private:
    type value_;
};

template <typename T, T Invalid, void (*Close)(T)>
struct simple_traits {
    using type = T;
    static constexpr T invalid() noexcept { return Invalid; }
    static void close(T value) noexcept { Close(value); }
};

namespace detail {
inline void closeHandle(HANDLE h) { ::CloseHandle(h); }
inline void closeFind(HANDLE h) { ::FindClose(h); }
inline void closeKey(HKEY k) { ::RegCloseKey(k); }
inline void deleteAtom(ATOM a) { ::GlobalDeleteAtom(a); }
inline void localFree(HLOCAL p) { ::LocalFree(p); }
inline void globalFree(HGLOBAL p) { ::GlobalFree(p); }
inline void destroyWindow(HWND w) { ::DestroyWindow(w); }
inline void freeLibrary(HMODULE m) { ::FreeLibrary(m); }
inline void freeBstr(BSTR s) { ::SysFreeString(s); }
inline void destroySafeArray(SAFEARRAY* a) { ::SafeArrayDestroy(a); }
inline void releaseCryptProvider(HCRYPTPROV p) { ::CryptReleaseContext(p, 0); }
inline void destroyCryptHash(HCRYPTHASH h) { ::CryptDestroyHash(h); }
inline void closeMsiHandle(MSIHANDLE h) { ::MsiCloseHandle(h); }
}  // namespace detail

// NULL-invalid kernel handles (threads, processes, events, tokens).
using unique_handle = unique_any<simple_traits<HANDLE, nullptr, detail::closeHandle>>;

// INVALID_HANDLE_VALUE-invalid handles: files and snapshots.
struct file_handle_traits {
    using type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
using unique_file = unique_any<file_handle_traits>;

struct find_handle_traits {
    using type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::FindClose(h); }
};
using unique_find = unique_any<find_handle_traits>;

using unique_hkey = unique_any<simple_traits<HKEY, nullptr, detail::closeKey>>;
using unique_atom = unique_any<simple_traits<ATOM, 0, detail::deleteAtom>>;
using unique_hlocal = unique_any<simple_traits<HLOCAL, nullptr, detail::localFree>>;
using unique_hglobal = unique_any<simple_traits<HGLOBAL, nullptr, detail::globalFree>>;
using unique_hwnd = unique_any<simple_traits<HWND, nullptr, detail::destroyWindow>>;
using unique_hmodule = unique_any<simple_traits<HMODULE, nullptr, detail::freeLibrary>>;

// OLE Automation strings and arrays (an array of VARIANT clears its elements).
using unique_bstr = unique_any<simple_traits<BSTR, nullptr, detail::freeBstr>>;
using unique_safearray = unique_any<simple_traits<SAFEARRAY*, nullptr, detail::destroySafeArray>>;

// CryptoAPI providers and hash objects (both are ULONG_PTR; the traits keep them apart).
using unique_crypt_provider = unique_any<simple_traits<HCRYPTPROV, 0, detail::releaseCryptProvider>>;
using unique_crypt_hash = unique_any<simple_traits<HCRYPTHASH, 0, detail::destroyCryptHash>>;

// Windows Installer handles: databases, views, records, packages and products.
using unique_msihandle = unique_any<simple_traits<MSIHANDLE, 0, detail::closeMsiHandle>>;

// One counted reference to a COM interface.
template <typename Interface>
struct com_traits {
    using type = Interface*;
    static constexpr Interface* invalid() noexcept { return nullptr; }
    static void close(Interface* p) noexcept { p->Release(); }
};
template <typename Interface>
using unique_com = unique_any<com_traits<Interface>>;

// Runs a callable when the scope ends, unless dismissed.
template <typename F>
class scope_exit {
public:
    explicit scope_exit(F f) noexcept : f_(std::move(f)) {}
    scope_exit(const scope_exit&) = delete;
    scope_exit& operator=(const scope_exit&) = delete;
    ~scope_exit() {
        if (active_) f_();
    }
    void dismiss() noexcept { active_ = false; }

private:
    F f_;
    bool active_ = true;
};

}  // namespace base
