// Installs the handlers of the glass and special-data entry commands and the source from which
// a model glass takes its typed values.
#pragma once

void install_special_data_handlers();
