// A library loader for tests: serves libraries made of symbols the test supplies, and
// records every load, lookup and release.
//
// Usage:
//   platform::substitute::ScriptedLibraryLoader loader;
//   loader.AddLibrary("/opt/zvfirm/libzvaspi32.so",
//                     {{"GetASPI32SupportInfo", reinterpret_cast<void*>(&FakeSupportInfo)},
//                      {"SendASPI32Command", reinterpret_cast<void*>(&FakeSend)}});
//   platform::Services services = platform::Platform();
//   services.Libraries = &loader;
//   platform::ScopedServices scoped(services);
//   ... run the code under test ...
//   loader.Loads(), loader.Frees(), loader.OpenCount() ...
//
// A name without AddLibrary cannot be loaded. Each successful load returns a new handle.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/library_loader.h"

namespace platform::substitute {

class ScriptedLibraryLoader final : public LibraryLoader {
public:
    using Symbols = std::map<std::string, void*>;

    void AddLibrary(const std::string& name, const Symbols& symbols) { libraries_[name] = symbols; }

    // Every name asked for, in order, whether it loaded or not.
    const std::vector<std::string>& Loads() const { return loads_; }
    // The name each freed handle was loaded by, in the order of the frees.
    const std::vector<std::string>& Frees() const { return frees_; }
    // Every symbol name looked up, in order.
    const std::vector<std::string>& Lookups() const { return lookups_; }
    // Handles loaded and not freed yet.
    int OpenCount() const { return static_cast<int>(open_.size()); }
    // The name a live handle was loaded by; empty for an unknown handle.
    std::string NameOf(void* library) const;

    void* Load(const std::string& name) override;
    void* Symbol(void* library, const char* name) override;
    void Free(void* library) override;

private:
    std::map<std::string, Symbols> libraries_;
    std::map<void*, std::string> open_;
    std::vector<std::string> loads_;
    std::vector<std::string> frees_;
    std::vector<std::string> lookups_;
    char handles_[64] = {};  // addresses that serve as distinct handles
    int nextHandle_ = 0;
};

}  // namespace platform::substitute
