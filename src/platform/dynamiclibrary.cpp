#include "dynamiclibrary.h"

#include <dlfcn.h>

bool DynamicLibrary::Open(const std::string& nameOrPath)
{
    Close();
    m_handle = dlopen(nameOrPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* error = dlerror();
        m_error = error ? error : "unknown error";
        return false;
    }
    m_error.clear();
    return true;
}

void DynamicLibrary::Close()
{
    if (m_handle)
        dlclose(m_handle);
    m_handle = nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const
{
    if (!m_handle || !name)
        return nullptr;
    return dlsym(m_handle, name);
}
