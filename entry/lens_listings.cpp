#include "entry/lens_listings.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include "entry/entry_frame.h"
#include "entry/listing_rows.h"
#include "entry/listing_state.h"
#include "entry/surface_marks.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/listing_print.h"
#include "lens/surface_groups.h"
#include "runtime/arg_cells.h"
#include "runtime/command_levels.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

constexpr double kTiny = 1e-40;
constexpr int kLongNote = 15;
constexpr int kWavelengthsPerBlock = 6;

const char* const kGroupKindLabels[] = {"",          "NON SEQ GRP", "ELEMENT",    "ELEMENT GRP",
                                        "PARAX GRP", "EIKONAL GRP", "USR DEF GRP"};

double first_index(const SurfaceRecord& s) {
    return s.index != nullptr ? s.index[0] : 0.0;
}

// Air behind the surface before: a blank line separates the elements.
bool blank_line_before(int i, const SurfaceRecord& s) {
    if (i == 0 || non_sequential_interior(s)) return false;
    const SurfaceRecord& before = surface(i - 1);
    if (first_index(before) != 1.0 || before.tir_only != 0) return false;
    return !(s.group_kind == kGroupNonSequential && s.group_role == kRoleLast);
}

void row_label(int i) {
    const LensData& l = lens_data();
    if (get_setting_flag(kSetSurfaceLabels) == 0) {
        text_printf("%3d  ", i);
        return;
    }
    const char* label = nullptr;
    if (i == 0) {
        label = "OBJ";
    } else if (i == l.aperture_stop) {
        label = "AST";
    } else if (i == l.reference_surface) {
        label = "RFS";
    } else if (i == l.image_surface) {
        label = "IMS";
    } else if (surface_skipped(i)) {
        label = "SKP";
    }
    if (label != nullptr) {
        text_printf(" %s ", label);
    } else {
        text_printf("%3d  ", i);
    }
}

std::string group_title(const SurfaceRecord& s) {
    std::string name(s.group_label, strnlen(s.group_label, kGroupLabelLength));
    if (name.find_first_not_of(' ') != std::string::npos) return name;
    return s.group_kind < std::size(kGroupKindLabels) ? kGroupKindLabels[s.group_kind] : "";
}

// Anything beyond radius, thickness, aperture and medium that the other listings show.
bool has_special_data(const SurfaceRecord& s) {
    return s.shape > kShapeSphere || s.grating_spacing != 0.0 || s.fresnel != 0 ||
           s.alternate_intersection != 0 || s.tir_only != 0 || s.rod != 0 || s.drawing_mode != 0 ||
           s.skip_to != 0 || (s.group_kind != kGroupNone && s.group_role == kRoleFirst) ||
           s.asphere != nullptr || s.diffractive != nullptr || s.hologram != nullptr ||
           s.decentre != nullptr || s.return_coordinates != nullptr || s.grin != nullptr ||
           s.spline != nullptr || s.mesh != nullptr || s.perfect_lens != nullptr ||
           s.unsupported_records[0] != nullptr || s.unsupported_records[1] != nullptr ||
           s.unsupported_records[2] != nullptr || s.range_record != nullptr ||
           s.decentre_reference != nullptr || s.return_coordinates2 != nullptr;
}

// The thickness a collapsed group shows: its surfaces up to the last one.
double group_thickness(int i) {
    const int end = group_end_surface(i);
    double sum = 0.0;
    for (int j = i; j < end; ++j) sum += surface(j).thickness;
    return sum;
}

void surface_data_row(int kind) {
    ListingState& st = listing_state();
    const int i = st.surface_index;
    const SurfaceRecord& s = *st.surface;
    const LensData& l = lens_data();
    const bool collapse = l.gprt == 0;
    if (st.first_row != 0) {
        print_msg(kind == kCmdListRadii ? kMsgRadiusTitle : kMsgCurvatureTitle);
        warn_multiple_configurations();
        text_printf("%s\n", l.title);
        print_msg(kind == kCmdListRadii ? kMsgRadiusHeader : kMsgCurvatureHeader);
    }
    if (collapse && s.group_kind != kGroupNone && s.group_role == kRoleInner) return;
    const bool ns_interior = non_sequential_interior(s);
    if (blank_line_before(i, s)) text_newline();
    st.nothing_printed = 0;
    row_label(i);
    const bool first_of_group = s.group_kind != kGroupNone && s.group_role == kRoleFirst;
    const bool last_of_group = s.group_kind != kGroupNone && s.group_role == kRoleLast;
    bool group_head = false;
    if (collapse && first_of_group) {
        text_spaces(1);
        text_field(group_title(s).c_str(), kGroupLabelLength, true);
        group_head = s.group_kind != kGroupNonSequential;
    } else if (collapse && last_of_group) {
        text_spaces(1);
        text_field(s.note != nullptr ? s.note : "", kGroupLabelLength, true);
    } else {
        const double c = std::fabs(s.curvature) <= kTiny ? 0.0 : s.curvature;
        print_number_cell(kind == kCmdListCurvatures || c == 0.0 ? c : 1.0 / c);
    }
    const SurfaceMarks marks = surface_marks(i, MarkPlace::listing);
    text_printf(" %c ", marks.curvature);
    text_number(group_head ? group_thickness(i) : ns_interior ? 0.0 : s.thickness);
    text_printf(" %c ", marks.thickness);
    text_number(s.aperture_radius);
    const std::string& flags = marks.aperture;
    text_printf(" %s", flags.c_str());
    text_spaces(5 - static_cast<int>(flags.size() < 4 ? flags.size() : 4));
    if (i == l.image_surface) {
        text_spaces(13);
    } else {
        const bool fixed =
            group_head && (s.medium_kind == kMediumGlassFixed || s.medium_kind == kMediumAirFixed);
        if (fixed) {
            text_out("     FIXED");
        } else {
            text_field(s.medium_name, kMediumNameLength, true);
        }
        text_printf(" %c ", marks.medium);
    }
    text_printf("%c ", has_special_data(s) ? '*' : ' ');
    if (s.note != nullptr && s.note[0] != '\0') {
        text_printf(std::strlen(s.note) < kLongNote ? "%s" : "\n%s", s.note);
    }
    text_newline();
}

void index_header(int count) {
    print_msg(kMsgIndexTitle);
    warn_multiple_configurations();
    auto number = [](int w) {
        if (w < 10) text_spaces(1);
        print_msg(kMsgIndexNumber, w);
    };
    if (count < 3) {
        print_msg(kMsgIndexHeaderFew);
        for (int w = 1; w <= count; ++w) number(w);
        print_msg(kMsgIndexHeaderEnd);
        text_newline();
        return;
    }
    print_msg(kMsgIndexHeaderThree);
    for (int w = 4; w <= count; ++w) {
        if ((w - 4) % 4 == 0) {
            text_newline();
            text_spaces(19);
        }
        number(w);
    }
    text_newline();
}

void index_row() {
    const LensData& l = lens_data();
    const int count = l.wavelength_count;
    const ListingState& st = listing_state();
    if (st.first_row != 0) index_header(count);
    const SurfaceRecord& s = *st.surface;
    list_surface_number();
    text_spaces(3);
    if (st.surface_index == l.image_surface) {
        print_msg(kMsgImageSurfaceRow);
        return;
    }
    text_printf("%s", s.medium_name);
    auto index = [&s](int w) { return s.index != nullptr ? s.index[w] : 0.0; };
    for (int w = 0; w < count && w < 3; ++w) print_number_cell(index(w));
    if (count >= 3) {
        const double spread = index(1) - index(2);
        print_number_cell(spread == 0.0 ? 0.0 : (index(0) - 1.0) / spread);
    }
    print_number_cell(s.medium_tce);
    for (int w = 3; w < count; ++w) {
        if ((w - 3) % 4 == 0) {
            text_newline();
            text_spaces(19);
        }
        print_number_cell(index(w));
    }
    text_newline();
}

void write_row(int kind) {
    switch (kind) {
        case kCmdListCurvatures:
        case kCmdListRadii:
            surface_data_row(kind);
            return;
        case kCmdListIndices:
            index_row();
            return;
        case kCmdListPickups:
            list_row_pickups();
            return;
        case kCmdListSolves:
            list_row_solves();
            return;
        case kCmdListApertures:
            list_row_apertures();
            return;
        case kCmdListSplines:
            list_row_spline();
            return;
        case kCmdListMeshes:
            list_row_mesh();
            return;
        case kCmdListPerfectLenses:
            list_row_perfect_lens();
            return;
        case kCmdListNotes:
            list_row_note();
            return;
        case kCmdListSpecialSummary:
            list_row_special_summary(0);
            return;
        case kCmdListConics:
            list_row_conic();
            return;
        case kCmdListAspheres:
            list_row_asphere();
            return;
        case kCmdListDiffractive:
        case kCmdListDiffractiveOrders:
            list_row_diffractive();
            return;
        case kCmdListHolograms:
            list_row_hologram();
            return;
        case kCmdListGradientIndex:
            list_row_grin();
            return;
        case kCmdListDecentres:
            list_row_decentre();
            return;
        case kCmdListSurfaceFlags:
            list_row_surface_flags();
            return;
        case kCmdListMediumValues:
            list_row_medium_values();
            return;
        default:
            return;
    }
}

void wavelength_block(int from, int to) {
    const LensData& l = lens_data();
    text_spaces(4);
    for (int w = from; w < to; ++w) print_number_cell(l.wavelengths[w].wavelength);
    text_newline();
    text_spaces(4);
    for (int w = from; w < to; ++w) print_number_cell(l.wavelengths[w].weight);
    text_newline();
}

}  // namespace

void list_lens_data(int kind) {
    const SurfaceRange range = surface_range_args();
    ListingState& st = listing_state();
    if (kind == kCmdListCurvatures || kind == kCmdListRadii) st.mode_word = kind;
    st.first_row = 1;
    st.nothing_printed = 1;
    for (int i = range.first; i <= range.last; ++i) {
        st.surface_index = i;
        st.surface = &surface(i);
        st.last_row = i == range.last ? 1 : 0;
        write_row(kind);
        st.first_row = 0;
    }
}

void list_wavelengths() {
    const LensData& l = lens_data();
    const int count = l.wavelength_count;
    const int first = count < kWavelengthsPerBlock ? count : kWavelengthsPerBlock;
    print_msg(kMsgWavelengthTitle);
    warn_multiple_configurations();
    print_msg(kMsgWavelengthHead);
    for (int w = 2; w <= first; ++w) {
        text_spaces(2);
        print_msg(kMsgWavelengthNumber, w, w);
    }
    text_newline();
    text_printf(" %3d", l.current_wavelength + 1);
    for (int w = 0; w < first; ++w) print_number_cell(l.wavelengths[w].wavelength);
    text_newline();
    text_spaces(4);
    for (int w = 0; w < first; ++w) print_number_cell(l.wavelengths[w].weight);
    text_newline();
    for (int from = kWavelengthsPerBlock; from < count; from += kWavelengthsPerBlock) {
        const int to = from + kWavelengthsPerBlock < count ? from + kWavelengthsPerBlock : count;
        text_newline();
        text_spaces(4);
        for (int w = from + 1; w <= to; ++w) {
            if (w < 10) text_spaces(2);
            print_msg(kMsgWavelengthNumber, w, w);
        }
        text_newline();
        wavelength_block(from, to);
    }
}

void list_surface_range(int mode, int first, int last) {
    clear_special_occurrences();
    ListingState& st = listing_state();
    st.first_row = 1;
    st.nothing_printed = 1;
    for (int i = first; i <= last; ++i) {
        st.surface_index = i;
        st.surface = &surface(i);
        st.last_row = i == last ? 1 : 0;
        list_row_special_summary(mode);
        st.first_row = 0;
    }
    if (mode != 1) return;
    // The listings read the same range from cells of our own.
    ScratchCallScope scope;
    ArgCell** cells = scope.scratch();
    *cells[0] = int_cell(0);
    *cells[1] = int_cell(first);
    *cells[2] = int_cell(last);
    set_arg_vector(cells, 3);
    static constexpr int kOrder[] = {
        kCmdListNotes, kCmdListConics,    245, kCmdListSplines,      246,
        249,           kCmdListDecentres, 253, kCmdListSurfaceFlags, kCmdListPerfectLenses,
        kCmdListMeshes};
    for (const int kind : kOrder) {
        if (special_kind_occurs(kind)) list_lens_data(kind);
    }
}

int list_whole_lens() {
    // The listings read their range from cells 1 and 2: all surfaces, on cells of our own.
    ScratchCallScope scope;
    ArgCell** cells = scope.scratch();
    for (int k = 0; k < 3; ++k) *cells[k] = int_cell(0);
    set_arg_vector(cells, 3);
    list_lens_data(kCmdListRadii);
    list_surface_range(1, 0, lens_data().image_surface);
    // The first-order data belong to the evaluation code, reached through its handler slot;
    // whatever it answers, the listing goes on.
    if (const CommandHandler first_order = handler_table().slots[kSlotFirstOrderListing]) {
        // A refusal takes the section's place, so that the listing says why it is missing.
        if (first_order() == kErrorTextReady) {
            text_printf("%s", error_text_buffer());
            text_newline();
        }
    }
    list_lens_data(kCmdListSolves);
    list_lens_data(kCmdListPickups);
    list_lens_data(kCmdListApertures);
    list_wavelengths();
    list_lens_data(kCmdListIndices);
    return 0;
}

int cmd_list_lens_data() {
    list_lens_data(current_command());
    return 0;
}

int cmd_wavelength_select() {
    LensData& l = lens_data();
    if (!arg_given(0)) {
        list_wavelengths();
        return 0;
    }
    const int n = arg_int(0);
    if (n < 1 || n > l.wavelength_count)
        return set_error_msg(kMsgWavelengthRange, l.wavelength_count);
    l.current_wavelength = n - 1;
    print_msg(kMsgWavelengthSelected, n);
    clear_state_flag(kFlagReferenceRayCurrent);
    clear_state_flag(kFlagSpotDiagramCurrent);
    clear_state_flag(kFlagSpotDerivedA);
    clear_state_flag(kFlagSpotDerivedB);
    return 0;
}

namespace {

SurfaceRange clipped_range(int first, int last) {
    const int image = lens_data().image_surface;
    if (first <= 0 || first > image) return {0, image};
    if (last < first) last = first;
    if (last > image) last = image;
    return {first, last};
}

// The listing kind of a menu code and sub-code; 0 for none.
int menu_listing(int code, int sub) {
    switch (code) {
        case kMenuListingRadii:
            return kCmdListRadii;
        case kMenuListingSpecialData:
            switch (sub) {
                case kSpecialListingConics:
                    return kCmdListConics;
                case kSpecialListingAspheres:
                    return kCmdListAspheres;
                case kSpecialListingDiffractive:
                case kSpecialListingDiffractiveToo:
                    return kCmdListDiffractive;
                case kSpecialListingDecentres:
                    return kCmdListDecentres;
                case kSpecialListingHolograms:
                    return kCmdListHolograms;
                case kSpecialListingGradientIndex:
                    return kCmdListGradientIndex;
                case kSpecialListingSurfaceFlags:
                    return kCmdListSurfaceFlags;
                case kSpecialListingNotes:
                    return kCmdListNotes;
                case kSpecialListingSplines:
                    return kCmdListSplines;
                case kSpecialListingMeshes:
                    return kCmdListMeshes;
                case kSpecialListingPerfectLenses:
                    return kCmdListPerfectLenses;
                default:
                    return 0;
            }
        case kMenuListingSolves:
            return kCmdListSolves;
        case kMenuListingPickups:
            return kCmdListPickups;
        case kMenuListingApertures:
            return kCmdListApertures;
        case kMenuListingIndices:
            return kCmdListIndices;
        case kMenuListingMediumValues:
            return kCmdListMediumValues;
        default:
            return 0;
    }
}

}  // namespace

int cmd_list_surface_range() {
    const SurfaceRange r = clipped_range(arg_int(2), arg_int(3));
    list_surface_range(arg_int(0) != 0 ? 1 : 0, r.first, r.last);
    return 0;
}

int cmd_list_by_menu_code() {
    const int code = arg_int(0);
    const int sub = arg_int(1);
    // Arguments 2..4 move down to 0..2 on cells of our own (missing ones 0), so that the
    // listings find the range in cells 1 and 2; the caller's cells stay as they were.
    const int moved[3] = {arg_int(2), arg_int(3), arg_int(4)};
    ScratchCallScope scope;
    ArgCell** cells = scope.scratch();
    for (int k = 0; k < 3; ++k) *cells[k] = int_cell(moved[k]);
    set_arg_vector(cells, 3);
    if (code == kMenuListingWholeLens ||
        (code == kMenuListingSpecialData && sub == kSpecialListingRange)) {
        const SurfaceRange r = surface_range_args();
        if (code == kMenuListingSpecialData) {
            list_surface_range(1, r.first, r.last);
            return 0;
        }
        list_lens_data(kCmdListRadii);
        list_surface_range(1, r.first, r.last);
        for (const int kind : {kCmdListSolves, kCmdListPickups, kCmdListApertures})
            list_lens_data(kind);
        list_wavelengths();
        list_lens_data(kCmdListIndices);
        list_lens_data(kCmdListMediumValues);
        return 0;
    }
    const int kind = menu_listing(code, sub);
    if (kind == 0) return 0;
    list_lens_data(kind);
    // The history holds the listing command that does the same.
    set_current_command(kind);
    record_command_text();
    return 0;
}
