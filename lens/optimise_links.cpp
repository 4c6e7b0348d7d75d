#include "lens/optimise_links.h"

namespace {

OptimiseLinks g_links = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

}  // namespace

void set_optimise_links(const OptimiseLinks* links) {
    g_links = links != nullptr ? *links : OptimiseLinks{nullptr, nullptr, nullptr,
                                                        nullptr, nullptr, nullptr};
}

int optimise_highest_variable() {
    return g_links.highest_variable != nullptr ? g_links.highest_variable() : -1;
}

OptimiseVariableRef optimise_variable_at(int index) {
    if (g_links.variable_at == nullptr) return {0, 0, 0};
    return g_links.variable_at(index);
}

void optimise_surface_inserted(int s) {
    if (g_links.surface_inserted != nullptr) g_links.surface_inserted(s);
}

void optimise_surface_deleted(int s) {
    if (g_links.surface_deleted != nullptr) g_links.surface_deleted(s);
}

void optimise_new_lens() {
    if (g_links.new_lens != nullptr) g_links.new_lens();
}

void fill_derivative_increments() {
    if (g_links.fill_derivative_increments != nullptr) g_links.fill_derivative_increments();
}
