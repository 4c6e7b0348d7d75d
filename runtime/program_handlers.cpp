#include "runtime/program_handlers.h"

#include "lens/lens_commands.h"
#include "lens/private_catalog.h"
#include "trace/paraxial_commands.h"

void install_program_handlers() {
    install_glass_catalog_handlers();
    install_paraxial_handlers();
    install_lens_handlers();
}
