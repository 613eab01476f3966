// A lock for data that more than one thread may touch. Its owner makes it
// once, before any second thread can exist (a namespace-scope initialiser,
// which runs before the program's entry), and keeps it for the life of the
// process. The thread that holds it may enter it again.
#pragma once

typedef void* OsLock;

OsLock OsCreateLock();
void OsEnterLock(OsLock lock);
void OsLeaveLock(OsLock lock);
