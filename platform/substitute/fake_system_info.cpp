// FakeSystemInfo is wholly inline; this file keeps the header compiled on its own.
#include "platform/substitute/fake_system_info.h"
