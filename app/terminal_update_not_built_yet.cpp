// The terminal update needs the update worker and the pre-update checks, which are not part
// of this build yet: say so, and claim nothing.
#include <cstdio>

#include "app/terminal_update.h"

bool RunTerminalUpdate(bool dryRun) {
    std::fprintf(stderr, "zvfirm: %s needs the update engine, which is not built yet; nothing was sent.\n",
                 dryRun ? "--dry-run" : "--update");
    return false;
}
