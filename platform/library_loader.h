// Loading a shared library at run time and looking up its entry points.
#pragma once

#include <string>

namespace platform {

class LibraryLoader {
public:
    virtual ~LibraryLoader() = default;
    // Null when the library cannot be loaded.
    virtual void* Load(const std::string& name) = 0;
    // Null when the library has no such entry point.
    virtual void* Symbol(void* library, const char* name) = 0;
    virtual void Free(void* library) = 0;
};

}  // namespace platform
