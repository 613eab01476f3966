// Elevation of the native build, as Windows with the elevation prompt
// behaves: the token's answer, folders this token may not write, and the
// prompt. A prompt that the test accepts "starts" the elevated program: the
// test's run function sees its program and parameters, and the process
// handed back is a real child that ends with the code the run function gave.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/elevation.h"

struct ElevationDoubleStart {
  std::string program;
  std::string parameters;
};

// Full rights, every folder writable, prompts accepted with exit code 0, the
// user "S-1-5-21-1000", no registry of another account in use.
void ResetElevationDouble();
void ElevationDoubleSetState(OsElevation state);
// Folders (and everything below them) in which this token creates nothing,
// until the token is elevated (ElevationDoubleSetState(kElevationFull)).
void ElevationDoubleDenyWrites(const std::string& folder);
// How the prompt answers: kElevatedStarted, kElevatedDeclined or kElevatedFailed.
void ElevationDoubleSetPromptAnswer(OsElevatedStart answer);
// What the elevated program does; its answer is the program's exit code.
void ElevationDoubleOnStart(uint32_t (*run)(const ElevationDoubleStart& start));
const std::vector<ElevationDoubleStart>& ElevationDoubleStarts();
void ElevationDoubleSetUserSid(const std::string& sid);
// The account whose registry stands in for HKEY_CURRENT_USER, empty for none.
const std::string& ElevationDoubleUserRegistry();
