#include "entry/entry_frame.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "trace/lens_setup.h"

namespace {

UpdateOutputFlags g_update_output;

constexpr double kIntLimit = 2e9;

}  // namespace

UpdateOutputFlags& update_output_flags() {
    return g_update_output;
}

ValuePair decode_value_pair() {
    ValuePair v;
    const ArgCell* c = arg_cell(0);
    if (c == nullptr) return v;
    v.given = c->status == kArgGiven;
    switch (c->type) {
        case kArgDouble:
            v.d = c->value.d;
            v.n = std::fabs(v.d) < kIntLimit ? static_cast<int>(v.d) : 0;
            break;
        case kArgInt:
            v.n = c->value.i;
            v.d = c->value.i;
            break;
        case kArgChar:
            if (c->text_length != 0) {
                v.is_text = true;
                v.text = entry_text(0);
            } else {
                v.n = static_cast<unsigned char>(c->value.c);
                v.d = v.n;
            }
            break;
        default:
            break;
    }
    return v;
}

std::string entry_text(int k, std::size_t limit) {
    const ArgCell* c = arg_cell(k);
    if (c == nullptr || c->type != kArgChar || c->text_length == 0 || c->value.text == nullptr) {
        return {};
    }
    const std::size_t n = std::strlen(c->value.text);
    return std::string(c->value.text, std::min(n, limit));
}

bool arg_given(int k) {
    const ArgCell* c = arg_cell(k);
    return c != nullptr && c->status == kArgGiven && c->type != kArgNone;
}

bool update_mode() {
    return test_state_flag(kFlagSingleCommandUpdate) != 0;
}

bool entry_deferred() {
    return test_state_flag(kFlagLensEntryInProgress) != 0 && !update_mode();
}

int current_surface() {
    return lens_data().current_surface;
}

UpdateOutputSwitch::UpdateOutputSwitch() : active_(update_mode()) {
    if (active_) set_setting_flag(kSetOutputOn, g_update_output.during_update);
}

UpdateOutputSwitch::~UpdateOutputSwitch() {
    if (active_) set_setting_flag(kSetOutputOn, g_update_output.after_update);
}

int refuse_group_curvature() {
    const int n = current_surface();
    if (surface(n).curvature_kind == kCurvatureFixed) return set_error_msg(kMsgGroupCurvature, n);
    return 0;
}

int refuse_group_thickness() {
    const int n = current_surface();
    if (surface(n).thickness_kind == kThicknessFixed) return set_error_msg(kMsgGroupThickness, n);
    return 0;
}

int refuse_group_aperture() {
    const int n = current_surface();
    if (surface(n).aperture_kind == kApertureFixedByGroup) {
        return set_error_msg(kMsgGroupAperture, n);
    }
    return 0;
}

int refuse_group_medium() {
    const int n = current_surface();
    const int kind = surface(n).medium_kind;
    if (kind == kMediumGlassFixed || kind == kMediumAirFixed) {
        return set_error_msg(kMsgGroupMedium, n);
    }
    return 0;
}

bool inside_non_sequential_group(int n) {
    const SurfaceRecord& s = surface(n);
    return s.group_kind == kGroupNonSequential && s.group_role != kRoleLast;
}

int entry_lens_setup() {
    if (const int rc = lens_setup(0); rc != 0) {
        return set_error_msg(rc, lens_data().failing_surface);
    }
    return 0;
}

void mark_surface_changed(int n) {
    if (n >= 0 && n <= surface_limit()) surface(n).plain_mark = kPlainUnknown;
}

namespace {
// The values only: the interpreter's system variables keep pointing at these two.
void reset_entry_frame() {
    g_update_output = UpdateOutputFlags{};
}
const platform::StateReset entry_frame_state_reset{"entry/entry_frame", reset_entry_frame,
                                                   platform::ResetLayer::feature};
}  // namespace
