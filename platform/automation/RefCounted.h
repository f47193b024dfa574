#pragma once
// Intrusive reference counting for automation objects, strings and arrays.
//
// Automation objects live in one apartment (one thread), as COM's apartment-threaded objects
// do: the count is a plain integer, which keeps copies of values in the script engine's hot
// loop free of atomic instructions. An object must not be shared between threads.

#include <cstddef>
#include <cstdint>
#include <utility>

namespace telvinor::automation {

class RefCounted {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  void AddRef() const noexcept { ++refs_; }
  void Release() const noexcept {
    if (--refs_ == 0) FinalRelease();
  }
  [[nodiscard]] std::uint32_t RefCount() const noexcept { return refs_; }

 protected:
  virtual ~RefCounted() = default;

  // Runs when the last reference goes and deletes the object. A class that must run code
  // before it dies (a script class's Class_Terminate) overrides it, may take a reference for
  // the time it runs, and ends by calling this base version.
  //
  // Deletion is depth-bounded: an object whose destructor releases the next one of a long
  // chain (a linked list a script built, an array nested a million times) would otherwise
  // recurse once per link and overflow the stack. Past a fixed depth the deletion is queued
  // and done by the outermost deletion on this thread, so any chain is freed in bounded stack.
  virtual void FinalRelease() const noexcept;

 private:
  mutable std::uint32_t refs_ = 0;
};

// Ref<T>: an owning pointer that adds a reference when it takes the object and releases it
// when it lets go, like a COM smart pointer.
template <class T>
class Ref {
 public:
  Ref() noexcept = default;
  Ref(std::nullptr_t) noexcept {}
  Ref(T* p) noexcept : p_(p) {
    if (p_) p_->AddRef();
  }
  Ref(const Ref& o) noexcept : Ref(o.p_) {}
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
  Ref(const Ref<U>& o) noexcept : Ref(o.get()) {}
  template <class U>
  Ref(Ref<U>&& o) noexcept : p_(o.release()) {}
  ~Ref() {
    if (p_) p_->Release();
  }
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }

  [[nodiscard]] T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  // Gives up ownership without releasing: the caller now holds the reference.
  [[nodiscard]] T* release() noexcept { return std::exchange(p_, nullptr); }

  friend bool operator==(const Ref& a, const Ref& b) noexcept { return a.p_ == b.p_; }
  friend bool operator==(const Ref& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

template <class T, class... Args>
[[nodiscard]] Ref<T> MakeRef(Args&&... args) {
  return Ref<T>(new T(std::forward<Args>(args)...));
}

}  // namespace telvinor::automation
