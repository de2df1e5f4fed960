#include "platform/substitute/scripted_library_loader.h"

namespace platform::substitute {

std::string ScriptedLibraryLoader::NameOf(void* library) const {
    const auto found = open_.find(library);
    return found == open_.end() ? std::string() : found->second;
}

void* ScriptedLibraryLoader::Load(const std::string& name) {
    loads_.push_back(name);
    if (libraries_.count(name) == 0) return nullptr;
    void* handle = &handles_[nextHandle_++ % sizeof handles_];
    open_[handle] = name;
    return handle;
}

void* ScriptedLibraryLoader::Symbol(void* library, const char* name) {
    lookups_.push_back(name);
    const auto open = open_.find(library);
    if (open == open_.end()) return nullptr;
    const Symbols& symbols = libraries_[open->second];
    const auto symbol = symbols.find(name);
    return symbol == symbols.end() ? nullptr : symbol->second;
}

void ScriptedLibraryLoader::Free(void* library) {
    const auto open = open_.find(library);
    // A handle that is not open is recorded too, so a double free shows in Frees().
    frees_.push_back(open == open_.end() ? std::string("<not open>") : open->second);
    if (open != open_.end()) open_.erase(open);
}

}  // namespace platform::substitute
