#include "reports/plot_scopes.h"

#include "lens/lens_data.h"
#include "trace/ray_record.h"

FieldPointScope::FieldPointScope() : saved_(object_point()) {
    const RayRecord& ref = reference_ray().ray;
    ObjectPoint& p = object_point();
    p.y = ref.obj_y;
    p.z = ref.obj_z;
    p.x = ref.obj_x;
    p.selected = 0;
}

FieldPointScope::~FieldPointScope() {
    object_point() = saved_;
}

WavelengthScope::WavelengthScope() : saved_(lens_data().current_wavelength) {}

WavelengthScope::~WavelengthScope() {
    if (!changed_) return;
    lens_data().current_wavelength = saved_;
    // A failure here leaves the reference ray out of date; the next analysis aims it again.
    set_object_point();
}

int WavelengthScope::change_to(int w) {
    changed_ = true;
    lens_data().current_wavelength = w;
    return set_object_point();
}

LocalArguments::LocalArguments()
    : vector_(arg_vector()), count_(arg_count()), shapes_(arg_shapes()) {
    for (int i = 0; i < count_; ++i) {
        const ArgCell* c = arg_cell(i);
        cells_.push_back(c != nullptr ? *c : ArgCell{});
    }
    for (ArgCell& c : cells_) pointers_.push_back(&c);
    set_arg_vector(pointers_.data(), count_);
    set_arg_shapes(shapes_);
}

LocalArguments::~LocalArguments() {
    set_arg_vector(vector_, count_);
    set_arg_shapes(shapes_);
}

void LocalArguments::set_int(int i, int v) {
    if (i < 0 || i >= count_) return;
    cells_[static_cast<std::size_t>(i)].type = kArgInt;
    cells_[static_cast<std::size_t>(i)].value.i = v;
}
