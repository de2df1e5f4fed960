// Why an optical drive is not among the drives discovery lists: it cannot be opened, it does
// not answer, it is no CD/DVD device, or its identity is not the package's. Discovery itself
// keeps its own rules; this only explains them to the user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/pass_through.h"

enum class DriveFinding {
    Matches,        // the package's identity: discovery lists it
    NoAccess,       // the node cannot be opened for reading
    NoAnswer,       // INQUIRY failed
    NotCdDvd,       // INQUIRY byte 0 is not a CD/DVD device
    OtherIdentity,  // a CD/DVD device of another vendor, model or revision
};

struct ProbedDrive {
    char Letter = 0;
    DriveFinding Finding = DriveFinding::NoAccess;
    platform::NodeAccess Node;
    char Identity[29] = {};  // vendor, product and revision as INQUIRY gives them
};

// Every optical drive of the drive-letter map, in letter order. With `inquire` false no
// command is sent: only the nodes are tried, and a drive whose node opens is reported as
// Matches (nothing more is known about it). With `inquire` true each drive that opens is
// asked INQUIRY (no command that changes anything) and compared with InquiryPatterns.
std::vector<ProbedDrive> ProbeOpticalDrives(bool inquire);
