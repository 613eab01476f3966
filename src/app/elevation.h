// Administrator rights through the system's elevation prompt.
//
// An install needs administrator rights when setup.ini's Settings Elevate
// says so (1), or, by default (0), when this token cannot create what the
// install puts into its installation folder: the folder itself or, when it
// exists, a file in it, judged at the nearest folder that exists. Elevate=2
// never asks: a per-user install that fails where it lacks rights.
//
// When the rights are needed, the process lacks them and the prompt can
// give them, setup starts itself again through the prompt, at most once per
// run and before anything is written to the installation folder: at
// start-up when the folder that the settings load resolves needs rights, and
// at the wizard's Install when the typed folder does. The starting process
// hands over in a file (the handover) what the elevated one must not decide
// again: the language, the user's account and per-user folders, and at
// Install the wizard's choices. It waits and ends with the elevated run's
// exit code. The elevated process reads the handover ("/Z:path"), makes its
// own work folder, and puts links, desktop and Startup links and
// HKEY_CURRENT_USER values into the starting user's profile.
//
// A declined or failed prompt goes on without the rights.
#pragma once
#include <cstdint>
#include <string>

#include "actions/folders.h"
#include "app/install.h"
#include "platform/elevation.h"

// Settings Elevate.
enum : uint8_t { kElevateAuto = 0, kElevateAlways = 1, kElevateNever = 2 };

// What the starting process hands over to the elevated one.
struct Handover {
  bool atInstall = false;      // started by the wizard's Install: install at once with choices
  InstallChoices choices;      // at Install: the wizard's fields and boxes
  std::string languageFile;    // the language file chosen (a name in the work folder); empty: none
  int32_t languageNumber = 0;
  std::string userSid;         // the starting process's account
  std::string userFolders[sizeof kUserFolders / sizeof kUserFolders[0]];  // in kUserFolders order
};

// The run's elevation, one per run.
struct ElevationState {
  bool elevatedRun = false;      // this process was started with a handover that it accepted
  Handover handover;             // what it was handed
  bool prompted = false;         // the prompt was tried in this run
  bool lacksRights = false;      // the install needed rights the run did not get
  bool handedOver = false;       // an elevated run did the work; elevatedExitCode is its code
  uint32_t elevatedExitCode = 0;
};

// The nearest folder of path (itself or a parent) that exists, with "\";
// empty when none does.
std::string NearestExistingFolder(const std::string& path);
// Whether this token can make the installation folder and its files.
bool CanWriteInstallFolder(const std::string& installDir);
bool InstallNeedsAdminRights(uint8_t elevate, const std::string& installDir, const ElevationState& state);
// The token's elevation; a test build may make a run that was not handed
// over act as a filtered token (ZANDOR_TEST_LIMITED_TOKEN, see state_dump.h).
OsElevation RunElevation(const ElevationState& state);

// Writes the handover; false when it could not be written whole.
bool WriteHandover(const std::string& path, const Handover& handover);
// Reads a handover and checks it: the account looks like one, the folders
// are absolute local paths, the language file a plain name. False (and
// nothing taken) when the file is missing or fails a check.
bool ReadHandover(const std::string& path, Handover* handover);
// Makes the handover's account and folders those of this run.
void ApplyHandover(const Handover& handover);
// The handover of this process: its account, its per-user folders, the
// language it chose.
Handover CurrentUserHandover(const std::string& languageFile, int32_t languageNumber);

// Whether to ask through the prompt now: the install needs the rights, the
// token lacks them, the prompt can give them, this is not the elevated run
// and the run has not asked yet. Sets state->lacksRights to whether the
// rights are needed and not had; the audit log tells why no prompt can come.
bool ShouldPromptForRights(bool needsRights, ElevationState* state);

enum ElevationAnswer {
  kElevationRan,      // the elevated run ran; state->elevatedExitCode is its exit code
  kElevationRefused,  // the prompt was declined or failed: go on without the rights
};
// Writes the handover into the work folder, starts exePath elevated with
// the arguments of commandLine and "/Z:handover", and waits for it, calling
// drain (when given) while it runs. An open audit log is handed to the
// elevated run and taken back after it. Asks once per run.
ElevationAnswer RunElevated(const std::string& workFolder, const std::string& exePath,
                            const std::string& commandLine, const Handover& handover, void (*drain)(),
                            ElevationState* state);
