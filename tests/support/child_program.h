// A program started as a child process for a test: its arguments, a clean environment and a
// folder of its own; standard input from /dev/null, standard output and error into files.
// The test waits for it, but never for ever: a child that is still running after the time
// allowed (a message box shown for real would wait for a click) is killed and the test
// fails.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace test_support {

struct ChildProgram {
    std::string path;
    std::vector<std::string> arguments;    // after the program's own name
    std::vector<std::string> environment;  // the whole environment, "NAME=value" each
    std::filesystem::path folder;          // its working folder
    std::filesystem::path outputs;         // where the files "stdout" and "stderr" go
    std::chrono::seconds allowed{120};
};

struct ChildOutcome {
    int exitCode = -1;  // -1 when it did not exit by itself
    bool signalled = false;
    std::string out;
    std::string err;
};

// Runs `program` to its end. `whileRunning`, when given, is called about every 10 ms with
// the child's process id and its standard error so far, e.g. to signal it at a given point.
ChildOutcome RunChild(
    const ChildProgram& program,
    const std::function<void(pid_t child, const std::string& err)>& whileRunning = nullptr);

}  // namespace test_support
