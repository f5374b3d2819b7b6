#pragma once
// Owners for the Windows resources the program obtains: each releases its resource exactly once,
// when it goes out of scope. Move-only.

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace swiftsetup {

template <typename T, typename Traits>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(T value) : value_(value) {}
    ~UniqueResource() { reset(); }
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    T get() const { return value_; }
    bool valid() const { return Traits::valid(value_); }
    explicit operator bool() const { return valid(); }
    T release() { return std::exchange(value_, Traits::invalid()); }
    void reset(T value = Traits::invalid()) {
        if (Traits::valid(value_)) Traits::close(value_);
        value_ = value;
    }

private:
    T value_ = Traits::invalid();
};

struct KernelHandleTraits {  // process, thread and file handles
    static HANDLE invalid() { return nullptr; }
    static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { CloseHandle(h); }
};
using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;

struct FindHandleTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static bool valid(HANDLE h) { return h != INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { FindClose(h); }
};
using FindHandle = UniqueResource<HANDLE, FindHandleTraits>;

struct LocalMemoryTraits {
    static void* invalid() { return nullptr; }
    static bool valid(void* p) { return p != nullptr; }
    static void close(void* p) { LocalFree(p); }
};
using LocalMemory = UniqueResource<void*, LocalMemoryTraits>;

struct ModuleTraits {
    static HMODULE invalid() { return nullptr; }
    static bool valid(HMODULE m) { return m != nullptr; }
    static void close(HMODULE m) { FreeLibrary(m); }
};
using UniqueModule = UniqueResource<HMODULE, ModuleTraits>;

// A COM interface pointer that is released when it goes out of scope.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For calls that hand out a new reference: releases what is held first.
    void** out() {
        reset();
        return reinterpret_cast<void**>(&p_);
    }
    void reset() {
        if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
    }

private:
    T* p_ = nullptr;
};

}  // namespace swiftsetup
