// The one object of a kind that a process works with, for seams whose users are made without
// arguments (COM objects made by a class object, functions exported by a DLL): the first object of
// type T constructed becomes the current one, until it is destroyed. A DLL constructs its platform
// adapters at load; a test constructs its stand-in and owns it.
#pragma once

namespace tw {

template <class T>
class ProcessWide {
  public:
    ProcessWide(const ProcessWide&) = delete;
    ProcessWide& operator=(const ProcessWide&) = delete;

    // The current object; null while none is constructed.
    static T* Current() noexcept { return static_cast<T*>(current); }

  protected:
    ProcessWide() noexcept {
        if (current == nullptr) {
            current = this;
        }
    }
    ~ProcessWide() {
        if (current == this) {
            current = nullptr;
        }
    }

  private:
    static inline ProcessWide* current = nullptr;
};

}  // namespace tw
