// An owned COM interface pointer: released when it goes out of scope.
#pragma once

#include <unknwn.h>

namespace quillon {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes a reference of its own to a borrowed pointer (which may be null).
  explicit ComPtr(T* p) : p_(p) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = other.p_;
      other.p_ = nullptr;
    }
    return *this;
  }
  ~ComPtr() { Reset(); }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // The address to hand to a function that returns a new reference; drops the current one.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  // Empties the pointer before releasing, so a release that reenters sees it empty.
  void Reset() {
    T* old = p_;
    p_ = nullptr;
    if (old != nullptr) old->Release();
  }

  // The same object's interface U, or an empty pointer.
  template <typename U>
  ComPtr<U> As(REFIID iid) const {
    ComPtr<U> out;
    if (p_ != nullptr) p_->QueryInterface(iid, out.PutVoid());
    return out;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace quillon
