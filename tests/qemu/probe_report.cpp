#include "tests/qemu/probe_report.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "scsi/command_status.h"

namespace {
int failures = 0;
}

void Verdict(bool passed, const char* format, ...) {
    if (!passed) ++failures;
    std::printf("%s: ", passed ? "PASS" : "FAIL");
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::printf("\n");
    std::fflush(stdout);
}

int FailureCount() { return failures; }

std::string Printable(const uint8_t* bytes, size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text.push_back(bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.');
    return text;
}

std::string Outcome() {
    char text[112];
    std::snprintf(text, sizeof text,
                  "srb_status=%02X ha=%02X targ=%02X cdb=%u sense=%02X/%02X/%02X",
                  CommandStatus->SRB_Status, CommandStatus->SRB_HaStat, CommandStatus->SRB_TargStat,
                  CommandStatus->SRB_CDBLen, CommandStatus->SenseArea[kSenseKeyByte],
                  CommandStatus->SenseArea[kSenseAsc], CommandStatus->SenseArea[kSenseAscq]);
    return text;
}

void RequestFromHost(const char* json) {
    // A line of its own, so that kernel messages on the same console cannot split it.
    std::printf("\nQMP-REQUEST %s\n", json);
    std::fflush(stdout);
}

int64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void PauseMs(int milliseconds) {
    timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0) {
    }
}
