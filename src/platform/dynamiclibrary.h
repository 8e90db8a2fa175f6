#pragma once
// A shared library loaded at run time and its entry points looked up by name.

#include <string>

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary() { Close(); }
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // A name without '/' goes through the normal library search; a path is
    // taken as it is. False when loading failed (see Error).
    bool Open(const std::string& nameOrPath);
    void Close();
    bool IsOpen() const { return m_handle != nullptr; }
    // The entry point, or null when the library lacks it.
    void* Symbol(const char* name) const;
    const std::string& Error() const { return m_error; }

private:
    void* m_handle = nullptr;
    std::string m_error;
};
