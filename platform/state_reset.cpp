#include "platform/state_reset.h"

#include <algorithm>
#include <tuple>

namespace platform {

namespace {

struct Registered {
    std::string name;
    void (*reset)();
    ResetLayer layer;
};

// A function-local list: registrations run during static initialisation, in whatever order the
// files are initialised, so the list must exist before the first of them.
std::vector<Registered>& registry() {
    static std::vector<Registered> list;
    return list;
}

std::vector<Registered> in_reset_order() {
    std::vector<Registered> list = registry();
    std::stable_sort(list.begin(), list.end(), [](const Registered& a, const Registered& b) {
        return std::make_tuple(-static_cast<int>(a.layer), a.name) <
               std::make_tuple(-static_cast<int>(b.layer), b.name);
    });
    return list;
}

}  // namespace

StateReset::StateReset(const char* name, void (*reset)(), ResetLayer layer) {
    if (reset != nullptr) registry().push_back({name, reset, layer});
}

void reset_all_state() {
    for (const Registered& entry : in_reset_order()) entry.reset();
}

std::vector<std::string> registered_state_resets() {
    std::vector<std::string> names;
    for (const Registered& entry : in_reset_order()) names.push_back(entry.name);
    return names;
}

}  // namespace platform
