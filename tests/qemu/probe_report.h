// Verdicts and outcome lines of the real-kernel probe: every check is one line "PASS: ..."
// or "FAIL: ..." on standard output; other lines report what the drives answered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Prints one verdict line and counts the failures.
void Verdict(bool passed, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Number of FAIL lines printed so far.
int FailureCount();

// Bytes as text, with '.' for anything not printable.
std::string Printable(const uint8_t* bytes, size_t length);

// "srb_status=.. ha=.. targ=.. cdb=N sense=KK/AA/QQ" from the outcome of the last command.
std::string Outcome();

// Asks the host, through the console, to send one request to QEMU's machine protocol.
// The host's answer does not come back; the caller watches for the effect.
void RequestFromHost(const char* json);

// Milliseconds of a monotonic clock.
int64_t NowMs();

// Sleeps for the given milliseconds.
void PauseMs(int milliseconds);
