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
