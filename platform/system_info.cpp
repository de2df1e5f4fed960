#include "platform/system_info.h"

#include <cctype>
#include <cstring>

namespace platform {

std::string ExeNameFromPath(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

std::string ProfileNameFromExeName(const std::string& exeName) { return exeName + ".INI"; }

uint32_t LcidFromLocaleName(const std::string& localeName) {
    // "ll_CC.codeset@modifier": only language and country decide.
    std::string tag = localeName.substr(0, localeName.find_first_of(".@"));
    const std::string language = tag.substr(0, tag.find('_'));
    struct Known {
        const char* tag;
        uint32_t lcid;
    };
    static const Known kByTag[] = {
        {"ja_JP", 1041}, {"en_US", 1033}, {"en_GB", 2057}, {"de_DE", 1031},
        {"fr_FR", 1036}, {"it_IT", 1040}, {"es_ES", 3082}, {"nl_NL", 1043},
        {"ko_KR", 1042}, {"zh_CN", 2052}, {"zh_TW", 1028}, {"pt_BR", 1046},
    };
    for (const Known& known : kByTag)
        if (tag == known.tag) return known.lcid;
    // A Japanese language in any country still reads Japanese texts.
    if (language == "ja") return 1041;
    for (const Known& known : kByTag)
        if (std::strncmp(known.tag, language.c_str(), 2) == 0 && language.size() == 2)
            return known.lcid;
    return 1033;
}

}  // namespace platform
