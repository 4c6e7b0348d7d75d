#include "entry/lens_block.h"

#include <cstdio>
#include <cstring>

#include "entry/entry_frame.h"
#include "entry/grin_prepare.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/lens_items.h"
#include "lens/lens_reset.h"
#include "lens/surface_groups.h"
#include "lens/surface_insert_delete.h"
#include "lens/surface_pickups.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"
#include "trace/lens_setup.h"

namespace {

constexpr char kLensContext = 'L';

WholeLensListing g_listing = nullptr;

// The group being built, with its pending flag.
bool group_being_built() {
    const LensData& l = lens_data();
    return l.group_kind_pending != 0 && l.group_pending != 0;
}

void open_block() {
    const int s = current_surface();
    print_msg(kMsgCurrentSurface, s);
    // LEN inside an open block keeps the one context END will pop.
    if (test_state_flag(kFlagLensEntryInProgress) == 0) push_command_context(kLensContext);
    set_state_flag(kFlagLensEntryInProgress);
    // A block the program runs quietly (Output on off) leaves the status line alone.
    if (get_setting_flag(kSetOutputOn) != 0) status_msg(kMsgCurrentSurfaceStatus, s);
}

}  // namespace

void set_whole_lens_listing(WholeLensListing listing) {
    g_listing = listing;
}

int cmd_lens_new() {
    const ValuePair v = decode_value_pair();
    if (v.n == -1) {
        if (g_listing == nullptr) return set_error_msg(kMsgNoWholeLensListing);
        return g_listing();
    }
    if (v.n == 1) {
        if (const int rc = lens_new(); rc != 0) return rc;
        set_state_flag(kFlagLensExists);
        LensData& l = lens_data();
        const std::string title = entry_text(1, kTitleLength);
        if (arg_given(1)) {
            std::snprintf(l.title, sizeof l.title, "%s", title.c_str());
        }
        std::memcpy(l.title_copy, l.title, sizeof l.title_copy);
        print_msg(kMsgLensStarted);
    } else {
        print_msg(kMsgLensKept);
        set_current_surface(0);
    }
    open_block();
    return 0;
}

int cmd_next_surface() {
    LensData& l = lens_data();
    const int next = l.current_surface + 1;
    if (next > l.image_surface) {
        if (l.image_surface >= surface_limit()) {
            return set_error_msg(kMsgSurfaceLimit, surface_limit());
        }
        l.image_surface = next;
        lens_flags().materials_changed = 1;
        update_lens_array_bounds();
    }
    if (!group_being_built()) {
        set_current_surface(next);
        mark_surface_changed(next);
        return 0;
    }
    if (l.group_kind_pending != kGroupNonSequential || l.group_pending < 1) {
        const SurfaceRecord& s = surface(next);
        if (s.group_kind != kGroupNone && s.group_role == kRoleFirst) {
            close_pending_group();
            l.current_surface = next;
            return set_error_msg(kMsgGroupAlreadyStarts, next);
        }
    } else {
        if (l.image_surface >= surface_limit()) {
            return set_error_msg(kMsgSurfaceLimit, surface_limit());
        }
        if (const int rc = insert_surface(next); rc != 0) return rc;
    }
    SurfaceRecord& s = surface(next);
    s.group_kind = static_cast<std::uint8_t>(l.group_kind_pending);
    if (l.group_kind_pending == kGroupNonSequential) {
        set_state_flag(kFlagGroupInner);
        clear_curvature_solve(next);
        clear_thickness_solve(next);
        clear_thickness_pickup(next);
    }
    s.group_role = kRoleInner;
    l.current_surface = next;
    mark_surface_changed(next);
    report_current_surface();
    return 0;
}

int cmd_lens_end() {
    LensData& l = lens_data();
    const bool given = arg_given(0);
    const int n = arg_int(0);
    // An image surface outside the array is refused before anything changes: the block stays.
    if (given && (n < 1 || n > surface_limit())) {
        return set_error_msg(kMsgImageSurfaceRange, n, surface_limit());
    }
    int result = 0;
    if (group_being_built()) {
        if (l.current_surface == l.image_surface) {
            if (l.image_surface >= surface_limit()) {
                result = set_error_msg(kMsgSurfaceLimit, surface_limit());
            } else {
                ++l.image_surface;
            }
        }
        close_pending_group();
    }
    if (given && get_setting_flag(kSetOutputOn) != 0) {
        if (n >= l.image_surface) {
            l.image_surface = n;
        } else {
            for (int s = n; s <= l.image_surface; ++s) {
                if (surface(s).group_kind == kGroupNone) {
                    l.image_surface = s;
                    break;
                }
            }
        }
    }
    if (l.current_surface > l.image_surface) l.current_surface = l.image_surface;
    clear_group_selection();
    update_lens_array_bounds();
    print_symbol_and_integer("%s ", kCmdLensEnd, l.image_surface);
    clear_state_flag(kFlagLensEntryInProgress);
    pop_command_context();
    if (get_setting_flag(kSetOutputOn) != 0) status_msg(0);
    lens_flags().materials_changed = 1;
    if (result == 0) result = fold_group_thickness();
    prepare_grin_records();
    const int setup = lens_setup(0);
    l.tolerance_results = 1;
    if (setup != 0 && result == 0) return set_error_msg(setup, l.failing_surface);
    return result;
}
