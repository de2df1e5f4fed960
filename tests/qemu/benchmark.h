// Speed of the drive path against the kernel, measured in the guest against scsi_debug with
// no response delay: the program's two transports against a raw SG_IO loop on one open
// descriptor, and a 2 MiB download in 8 KiB chunks against sg3-utils' sg_write_buffer.
// Prints figures only; it judges nothing.
#pragma once

// Runs every measurement on the first optical drive (D:, scsi_debug, generic node
// `genericNode`) and prints one line per figure. `sgWriteBuffer` is the path of
// sg_write_buffer in the guest.
void RunBenchmark(const char* genericNode, const char* sgWriteBuffer);
