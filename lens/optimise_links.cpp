#include "lens/optimise_links.h"

namespace {

// The optimisation's links and its file links, installed at start.
struct OptimiseLinksState {
    OptimiseLinks links = {};
    OptimiseFileLinks file_links = {};
};

OptimiseLinksState g_optimise_links;

}  // namespace

void set_optimise_links(const OptimiseLinks* links) {
    g_optimise_links.links = links != nullptr ? *links : OptimiseLinks{};
}

void set_optimise_file_links(const OptimiseFileLinks* links) {
    g_optimise_links.file_links = links != nullptr ? *links : OptimiseFileLinks{};
}

int optimise_highest_variable() {
    return g_optimise_links.links.highest_variable != nullptr
               ? g_optimise_links.links.highest_variable()
               : -1;
}

OptimiseVariableRef optimise_variable_at(int index) {
    if (g_optimise_links.links.variable_at == nullptr) return {0, 0, 0};
    return g_optimise_links.links.variable_at(index);
}

void optimise_surface_inserted(int s) {
    if (g_optimise_links.links.surface_inserted != nullptr)
        g_optimise_links.links.surface_inserted(s);
}

void optimise_surface_deleted(int s) {
    if (g_optimise_links.links.surface_deleted != nullptr)
        g_optimise_links.links.surface_deleted(s);
}

void optimise_new_lens() {
    if (g_optimise_links.links.new_lens != nullptr) g_optimise_links.links.new_lens();
}

void fill_derivative_increments() {
    if (g_optimise_links.links.fill_derivative_increments != nullptr)
        g_optimise_links.links.fill_derivative_increments();
}

int optimise_current_variable_entry() {
    return g_optimise_links.links.current_variable_entry != nullptr
               ? g_optimise_links.links.current_variable_entry()
               : 1;
}

void optimise_surfaces_reversed(int a, int b) {
    if (g_optimise_links.links.surfaces_reversed != nullptr)
        g_optimise_links.links.surfaces_reversed(a, b);
}

void optimise_image_surface_changed() {
    if (g_optimise_links.links.image_surface_changed != nullptr)
        g_optimise_links.links.image_surface_changed();
}

void optimise_write_variables() {
    if (g_optimise_links.file_links.write_variables != nullptr)
        g_optimise_links.file_links.write_variables();
}

void optimise_write_operands() {
    if (g_optimise_links.file_links.write_operands != nullptr)
        g_optimise_links.file_links.write_operands();
}

int optimise_current_configuration() {
    return g_optimise_links.file_links.current_configuration != nullptr
               ? g_optimise_links.file_links.current_configuration()
               : 1;
}

void optimise_set_configuration(int configuration) {
    if (g_optimise_links.file_links.set_configuration != nullptr)
        g_optimise_links.file_links.set_configuration(configuration);
}

void optimise_after_lens_read() {
    if (g_optimise_links.file_links.after_lens_read != nullptr)
        g_optimise_links.file_links.after_lens_read();
}
