// Locks as recursive mutexes, to enter again like a critical section.
#include <mutex>

#include "platform/lock.h"

OsLock OsCreateLock() { return new std::recursive_mutex; }
void OsEnterLock(OsLock lock) { static_cast<std::recursive_mutex*>(lock)->lock(); }
void OsLeaveLock(OsLock lock) { static_cast<std::recursive_mutex*>(lock)->unlock(); }
