#include "tests/support/child_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include <gtest/gtest.h>

#include "tests/support/whole_file.h"

namespace test_support {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildOutcome RunChild(
    const ChildProgram& program,
    const std::function<void(pid_t child, const std::string& err)>& whileRunning) {
    const std::filesystem::path out = program.outputs / "stdout";
    const std::filesystem::path err = program.outputs / "stderr";
    std::vector<std::string> argumentCopies{program.path};
    argumentCopies.insert(argumentCopies.end(), program.arguments.begin(), program.arguments.end());
    std::vector<std::string> environmentCopies = program.environment;
    const std::vector<char*> argv = Pointers(argumentCopies);
    const std::vector<char*> envp = Pointers(environmentCopies);

    const pid_t child = fork();
    if (child == 0) {
        const int inFd = open("/dev/null", O_RDONLY);
        const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (inFd < 0 || outFd < 0 || errFd < 0 || chdir(program.folder.c_str()) != 0) _exit(126);
        dup2(inFd, 0);
        dup2(outFd, 1);
        dup2(errFd, 2);
        execve(program.path.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    ChildOutcome outcome;
    if (child < 0) {
        ADD_FAILURE() << "fork failed";
        return outcome;
    }
    int status = 0;
    const auto giveUp = std::chrono::steady_clock::now() + program.allowed;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (whileRunning) whileRunning(child, ReadWhole(err));
        if (std::chrono::steady_clock::now() > giveUp) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << program.path << " did not end";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    outcome.signalled = WIFSIGNALED(status);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = ReadWhole(out);
    outcome.err = ReadWhole(err);
    return outcome;
}

}  // namespace test_support
