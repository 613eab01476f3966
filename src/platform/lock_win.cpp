// Locks as critical sections.
#include <windows.h>

#include "platform/lock.h"

OsLock OsCreateLock() {
  CRITICAL_SECTION* section = new CRITICAL_SECTION;
  InitializeCriticalSection(section);
  return section;
}

void OsEnterLock(OsLock lock) { EnterCriticalSection(static_cast<CRITICAL_SECTION*>(lock)); }
void OsLeaveLock(OsLock lock) { LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(lock)); }
