// The update of the drive's secondary (EPS) image, run by the worker after the main image.
#pragma once

#include "scsi/scsi_result.h"

// 0 on success (also when the drive already has the package's version); -2, -4, -5 or the
// failing command's own result otherwise.
ScsiResult UpdateSecondaryImage();
