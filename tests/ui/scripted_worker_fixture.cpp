#include "scripted_worker.h"

#include <atomic>

#include "scsi/failure_text.h"
#include "update/worker_state.h"

class ScriptedWorker::ScriptEvent final : public platform::Event {
public:
    explicit ScriptEvent(ScriptedWorker& worker) : worker_(worker) {}
    void Signal() override {}
    bool Wait(uint32_t timeoutMs) override {
        worker_.Waited(timeoutMs);
        return false;
    }
    void Reset() override {}
    intptr_t NativeHandle() const override { return -1; }

private:
    ScriptedWorker& worker_;
};

std::unique_ptr<platform::Event> ScriptedWorker::CreateAutoResetEvent() {
    return std::make_unique<ScriptEvent>(*this);
}

void ScriptedWorker::Apply(const Step& step) {
    if (step.errorText != nullptr) LastErrorText = step.errorText;
    WorkerState.store(step.workerState, std::memory_order_release);
    ChunkCounter.store(step.chunkCounter, std::memory_order_release);
}

bool ScriptedWorker::Start() {
    step_ = 0;
    waitedInStep_ = 0;
    if (!script_.empty()) Apply(script_[0]);
    return true;
}

void ScriptedWorker::Waited(uint32_t timeoutMs) {
    waits_.push_back(timeoutMs);
    if (onWait) onWait(timeoutMs);
    if (step_ >= script_.size()) return;
    if (++waitedInStep_ >= script_[step_].waits && step_ + 1 < script_.size()) {
        ++step_;
        waitedInStep_ = 0;
        Apply(script_[step_]);
    }
}

std::string ScriptedWorker::Timeline() const {
    std::string line;
    for (size_t i = 0; i < waits_.size();) {
        size_t run = i;
        while (run < waits_.size() && waits_[run] == waits_[i]) ++run;
        if (!line.empty()) line += ' ';
        line += std::to_string(waits_[i]);
        if (run - i > 1) line += '*' + std::to_string(run - i);
        i = run;
    }
    return line;
}
