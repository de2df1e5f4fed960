// Starting a program that lives on after this one ends.
#pragma once

#include <string>

// Starts `program` with no arguments and this process's environment, in a session and
// process group of its own, with `folder` as its current directory, standard input and
// output on /dev/null and no other descriptor of this process. Does not wait for it and
// leaves no child behind (it is started from a short-lived intermediate process). False,
// with the reason on standard error, when it could not be started.
bool StartDetached(const std::string& program, const std::string& folder);
