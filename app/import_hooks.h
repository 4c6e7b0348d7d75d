// What the foreign lens import needs from the layers above the lens data.
#pragma once

// The import commands and their hooks: the lens set-up, the reset of the stored object point
// and the axial-ray check of the coordinate returns.
void install_import_hooks();
