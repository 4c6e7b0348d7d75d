#include "entry/lens_modules.h"

#include <cstring>
#include <string>

#include "entry/entry_frame.h"
#include "entry/surface_data.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/surface_groups.h"
#include "lens/surface_insert_delete.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"

namespace {

const char* const kModuleWords[] = {"", "NSS", "ELE", "EGR"};

int group_range() {
    int a = arg_int(0);
    int b = arg_int(1);
    if (b < a) std::swap(a, b);
    if (a < 0) return set_error_msg(kMsgSurfaceOutside, a, surface_limit());
    const int rc = make_group(a, b);
    if (rc != 0) return rc;
    if (!update_mode()) {
        print_symbol_name("%s ", kCmdGroupRange);
        text_int(a);
        text_int(b);
        text_newline();
    }
    return 0;
}

int ungroup(int n) {
    if (n < 0 || n > lens_data().image_surface || surface(n).group_kind == kGroupNone ||
        surface(n).group_role != kRoleFirst) {
        return set_error_msg(kMsgNoGroupStarts, n);
    }
    ungroup_surfaces(n);
    print_message_and_integer("%s ", kCmdUngroup, n);
    return 0;
}

int module_start(int kind) {
    LensData& l = lens_data();
    const int cur = l.current_surface;
    const bool building = l.group_kind_pending != 0 && l.group_pending != 0;
    if (cur < 1 || building || kind < kGroupNonSequential || kind > kGroupElementGroup) return 0;
    SurfaceRecord& s = surface(cur);
    s.group_kind = static_cast<std::uint8_t>(kind);
    s.group_role = kRoleFirst;
    l.group_pending = -1;
    l.group_kind_pending = kind;
    l.group_start = cur;
    set_state_flag(kFlagGroupStarted);
    if (!update_mode()) {
        print_symbol_name("%s ", kCmdModuleStart);
        text_printf("%s\n", kModuleWords[kind]);
    }
    return 0;
}

// The name takes its 11 places, blank-padded; the echo quotes it so that blanks read back.
int module_name() {
    SurfaceRecord& s = surface(current_surface());
    const std::string text = entry_text(0, kGroupLabelLength);
    std::memset(s.group_label, ' ', kGroupLabelLength);
    std::memcpy(s.group_label, text.data(), text.size());
    s.group_label[kGroupLabelLength] = '\0';
    if (!update_mode()) {
        print_symbol_name("%s ", kCmdModuleName);
        text_printf("\"%s\"\n", s.group_label);
    }
    return 0;
}

}  // namespace

int cmd_element_group() {
    UpdateOutputSwitch output;
    close_pending_group();
    return current_command() == kCmdGroupRange ? group_range() : ungroup(arg_int(0));
}

int cmd_lens_module() {
    UpdateOutputSwitch output;
    switch (current_command()) {
        case kCmdModuleStart:
            return module_start(arg_int(0));
        case kCmdModuleEnd:
            close_pending_group();
            clear_group_selection();
            if (!update_mode()) print_symbol_name("%s\n", kCmdModuleEnd);
            return 0;
        default:
            return module_name();
    }
}
