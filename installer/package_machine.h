// Whether the package's driver fits the Windows it is installed on, found
// out before anything is written.
#pragma once

#include <windows.h>

#include "machine.h"

// The machine of the system this program runs on (not of the program).
Machine SystemMachine();

struct PackageFit {
  Machine driver = Machine::None;
  Machine config = Machine::None;
  Machine system = Machine::None;
  bool fits = true;
  // Where the driver goes: null for a package of no PE image, which the
  // spooler takes for the caller's environment as it always did.
  const char* environment = nullptr;
};

// Reads the package's driver and configuration module, unscrambled, from the
// working directory. A file that cannot be read counts as no PE image: the
// installation's own step then fails on it.
PackageFit ReadPackageFit();
