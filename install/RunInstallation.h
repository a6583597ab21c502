// The two halves of an installation both front ends run: the preparation beside the form, and
// the installation of the chosen model on the chosen port type.
#pragma once

#include <atomic>
#include <string>

#include "catalog/ArchiveExtractor.h"
#include "install/Forward.h"

namespace install {

// The package's name, looked for in the program's own folder, never the current directory.
inline constexpr const char* kPackageName = "DriverData.Drv";

// Gives back the ports a killed serial search left moved, starts the spooler, reads the ports,
// unpacks the package, lists the drivers and shows the system. Once `stop` is set, what is left
// is skipped.
void Prepare(Installation& state, Frontend& front, catalog::ArchiveExtractor& archiver,
             const std::atomic<bool>& stop);

// The catalogue index of the model chosen at `selection` of the driver list (its text in
// state.displayName) into selectedModel; false, with a box, when this installer does not
// know it, or when the catalogue vanished after it was read (then the package is unpacked
// again).
bool ResolveModel(Installation& state, Frontend& front, catalog::ArchiveExtractor& archiver,
                  int selection);

// Takes the port type's first port, resolves the model chosen at `selection` of the driver
// list (its text in state.displayName) and installs it; false, with a box, when the model is
// not one this installer knows.
bool Install(Installation& state, Frontend& front, catalog::ArchiveExtractor& archiver,
             int selection);

}  // namespace install
