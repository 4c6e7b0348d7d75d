#include "app/ray_source_commands.h"

#include <string>

#include "raysource/kolvane.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/state_flags.h"

namespace {

enum : int {
    kCommandRead = 821,
    kCommandRotate = 822,
    kCommandPrepare = 823,
    kCommandRandomRay = 824,
    kCommandDelete = 825,
};

// The text in cell i, empty when the cell holds no text.
// Writes a number into an output cell the caller passed by reference.
void put_double(int i, double v) {
    if (ArgCell* cell = arg_cell(i); cell != nullptr) {
        cell->value.d = v;
        cell->type = kArgDouble;
    }
}

void put_int(int i, int v) {
    if (ArgCell* cell = arg_cell(i); cell != nullptr) {
        cell->value.i = v;
        cell->type = kArgInt;
    }
}

}  // namespace

int cmd_ray_source() {
    int result = 0;
    switch (current_command()) {
        case kCommandRead: {
            // The name goes to the library as it stands; the program never opens the file.
            const std::string name = arg_string(0);
            double value = arg_double(1);
            if (value <= 0.0) value = 1.0;
            result = kvReadSourceData(name.c_str(), value);
            if (result == 0) set_state_flag(kFlagRaySourceLoaded);
            break;
        }
        case kCommandRotate:
            result = kvRotate(arg_double(0), arg_double(1), arg_double(2));
            break;
        case kCommandPrepare: {
            double working = arg_double(2);
            result = kvPrepareRayGeneration(&working, arg_int(1), arg_double(2), arg_double(3),
                                            arg_double(4), arg_double(5));
            if (result == 0) put_double(0, working);
            break;
        }
        case kCommandRandomRay: {
            // Zeroed first: the library need not write them.
            kvRay ray{};
            int status = 0;
            result = kvGetRandomRay(&ray, &status);
            if (result == 0) {
                for (int k = 0; k < 7; ++k) put_double(k, ray.value[k]);
                put_int(7, status);
            }
            break;
        }
        case kCommandDelete:
            result = kvDeleteSource();
            clear_state_flag(kFlagRaySourceLoaded);
            break;
        default:
            break;
    }
    set_int_result(result);
    return 0;
}

void install_ray_source_commands() {
    set_handler(kSlotRaySource, cmd_ray_source);
}
