// Entry of a native program.
#include "platform/entry.h"

int main() { return ProgramMain(); }
