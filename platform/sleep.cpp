#include "platform/sleep.h"

#include "platform/platform.h"

void SleepMs(uint32_t milliseconds) {
    std::unique_ptr<platform::Event> event = platform::Platform().Events->CreateAutoResetEvent();
    if (!event) return;
    event->Wait(milliseconds);
}
