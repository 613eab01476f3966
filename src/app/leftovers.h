// Work folders that killed earlier runs left in the temporary folder.
#pragma once
#include <string>

// Marks workFolder ("%TEMP%\{GUID}\") as in use for the life of this
// process, by a held file beside it ("{GUID}.zdrun") that the system
// removes when the process ends, however it ends. Then removes the earlier
// work folders that are ours (a GUID name, setup.ini or setup.pck inside)
// and no longer in use: no held file beside them, or one that nothing holds
// any more. Returns how many went.
int RemoveEarlierWorkFolders(const std::string& workFolder);
