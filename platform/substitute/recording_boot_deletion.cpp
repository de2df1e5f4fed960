// RecordingBootDeletion is wholly inline; this file keeps the header compiled on its own.
#include "platform/substitute/recording_boot_deletion.h"
