// Replaces one function this executable imports from a system DLL, for the
// life of the object. For what cannot be made to happen from outside the
// process: a failing code-page conversion or thread start, and counting the
// calls a program makes (timer resolution requests and their release).
// Affects calls made through this executable's import table only: the
// tool's code is linked into the test programs, so those are its calls.
#pragma once

class ImportPatch {
public:
    // dll: as imported, e.g. "KERNEL32.dll" (case ignored); function: its name.
    ImportPatch(const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // False when the executable does not import the function.
    bool Active() const { return slot_ != nullptr; }
    // The function that was imported, for a replacement that forwards.
    template <typename F>
    F Original() const {
        return reinterpret_cast<F>(original_);
    }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};
