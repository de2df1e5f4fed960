// A stand-in for the update worker: the monitor's waits (SleepMs) go to events of this
// factory, and every wait moves a script of ChunkCounter/WorkerState values one step on,
// as a worker running beside the monitor would. Nothing really sleeps.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/events.h"

class ScriptedWorker final : public platform::EventFactory {
public:
    // `waits` waits long the worker shows these values (0 in a count: from the start on).
    struct Step {
        int waits;
        uint32_t chunkCounter;
        uint8_t workerState;
        const char* errorText = nullptr;  // written before the values, when set
    };

    explicit ScriptedWorker(std::vector<Step> script) : script_(std::move(script)) {}

    // Called by the dialog's StartWorker: the values of the script's first step.
    bool Start();
    // Called on every wait, after the wait was recorded.
    std::function<void(uint32_t timeoutMs)> onWait;

    std::unique_ptr<platform::Event> CreateAutoResetEvent() override;

    // Every wait's time-out, in order, runs of the same one written "20*3".
    std::string Timeline() const;
    const std::vector<uint32_t>& Waits() const { return waits_; }

private:
    class ScriptEvent;
    void Waited(uint32_t timeoutMs);
    void Apply(const Step& step);

    std::vector<Step> script_;
    size_t step_ = 0;
    int waitedInStep_ = 0;
    std::vector<uint32_t> waits_;
};
