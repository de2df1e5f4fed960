#include <dlfcn.h>

#include "platform/linux/linux_library_loader.h"

namespace platform::linux_os {

namespace {

class DlopenLoader final : public LibraryLoader {
public:
    void* Load(const std::string& name) override {
        return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    void* Symbol(void* library, const char* name) override { return dlsym(library, name); }
    void Free(void* library) override {
        if (library != nullptr) dlclose(library);
    }
};

}  // namespace

LibraryLoader& LinuxLibraries() {
    static DlopenLoader loader;
    return loader;
}

}  // namespace platform::linux_os
