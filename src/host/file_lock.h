#pragma once

// An exclusive lock that processes share: an open file description (OFD)
// lock on a lock file.
//
// A store that several processes write (the kept copies of the slots and
// their index) is changed only by whoever holds its lock file's lock. OFD
// locks belong to the open file, not to the process, so two threads of one
// program exclude each other as two programs do, and the lock goes with
// the descriptor when the holder ends, however it ends. An OFD lock does
// not say whose it is (F_OFD_GETLK reports its process as -1), and a
// classic lock beside it would be dropped whenever any descriptor of the
// file in the holder's process closes; so the holder writes its process id
// into the lock file, where a waiter that gives up reads it.

#include "host/host.h"
#include "host/posix_file.h"

#include <chrono>

namespace vantrel {

class ExclusiveFileLock : public FileLock {
public:
    // Opens (creating it, mode 0600) the native lock file `native` and takes
    // its lock, waiting up to `wait` for a holder to let it go. Throws
    // HostError "cannot lock <native>: <reason>" when the file cannot be
    // opened or locked, and, of kind InUse, "<native> is in use by process
    // N" (or "by another process" when the holder cannot be told) when the
    // wait ends with the lock still held.
    ExclusiveFileLock(const QString &native, std::chrono::milliseconds wait);

private:
    posix::Fd m_fd;
};

} // namespace vantrel
