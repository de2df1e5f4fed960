#include "ui/update_actions.h"

#include "app/restart_copy.h"
#include "update/pre_update_checks.h"
#include "update/update_worker.h"

UpdateActions EngineUpdateActions() {
    return UpdateActions{
        [] { return ::CheckBeforeUpdate(); },
        [] { return ::StartUpdateWorker(); },
        [] { ::JoinUpdateWorker(); },
        [] { ::LaunchRestartCopy(); },
    };
}
