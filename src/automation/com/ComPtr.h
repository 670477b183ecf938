#pragma once
// ComPtr<T>: holds one reference to a COM interface and releases it when it
// goes. Attach adopts a reference the caller already owns (a fresh object, a
// CreateInstance result); the T* constructor and assignment AddRef instead.

#include "automation/com/Interfaces.h"

#include <utility>

namespace orvane
{

template <typename T> class ComPtr
{
  public:
    ComPtr() = default;
    /// Shares `p`: AddRef's it.
    explicit ComPtr(T *p) : p_(p)
    {
        if (p_)
            p_->AddRef();
    }
    ComPtr(const ComPtr &other) : ComPtr(other.p_) {}
    ComPtr(ComPtr &&other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr() { reset(); }
    ComPtr &operator=(ComPtr other) noexcept
    {
        std::swap(p_, other.p_);
        return *this;
    }

    /// Adopts `p` without AddRef (the caller's reference passes to this ComPtr).
    static ComPtr attach(T *p)
    {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    /// Gives up the reference to the caller without Release.
    T *detach() { return std::exchange(p_, nullptr); }
    /// Releases the held reference, if any.
    void reset()
    {
        if (T *p = std::exchange(p_, nullptr))
            p->Release();
    }
    /// Releases the held reference and gives the address for an out parameter
    /// (as in `factory->CreateInstance(nullptr, IID_IDispatch, ptr.put())`).
    void **put()
    {
        reset();
        return reinterpret_cast<void **>(&p_);
    }
    T *get() const { return p_; }
    T *operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

  private:
    T *p_ = nullptr;
};

} // namespace orvane
