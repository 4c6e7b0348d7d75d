#include "runtime/program_handlers.h"

#include "lens/lens_commands.h"
#include "lens/lens_setup.h"
#include "lens/private_catalog.h"
#include "runtime/help_command.h"
#include "trace/paraxial_commands.h"

void install_program_handlers() {
    install_glass_catalog_handlers();
    install_paraxial_handlers();
    install_lens_handlers();
    install_help_command();
    // Also gives the glass, paraxial and group code the set-up they run after their changes.
    install_lens_setup();
}
