// POSIX backend only: whether a file is held open by some other descriptor, which is
// what Windows refuses exclusive opens and deletions for.
#pragma once

/// True when a descriptor other than `fd` has the same file open, in any process, this
/// one included. Asks the kernel with a write lease taken and given back at once; where
/// leases are refused (not the owner and no CAP_LEASE, a file system without them) it
/// falls back to FileHeldElsewhereByScan.
bool FileHeldElsewhere(int fd);

/// The fallback alone: looks for the file among every /proc/<pid>/fd, leaving out `fd`
/// of this process. Processes whose descriptors cannot be read count as holding nothing.
bool FileHeldElsewhereByScan(int fd);

/// Installs a SIGIO handler that does nothing. Another process opening a file while
/// its lease is held breaks the lease with SIGIO, whose default action would end the
/// program. The signal is handled rather than ignored because started programs would
/// inherit an ignored signal, whereas a handler falls back to the default at exec.
void InstallLeaseBreakHandler();
