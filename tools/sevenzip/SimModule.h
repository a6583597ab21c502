// Makes the host build of the archiver loadable as "7-zip32.dll" on the simulated platform.
#pragma once

namespace sevenzip {

// Registers the module with the four exports; loading it points the archiver at the simulated
// drive, unloading it restores plain host paths.
void RegisterSimModule();

}  // namespace sevenzip
