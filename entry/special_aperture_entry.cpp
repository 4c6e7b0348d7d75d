#include "entry/special_aperture_entry.h"

#include <cctype>
#include <cstdlib>
#include <string>

#include "entry/entry_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/lens_reset.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

// The field a per-aperture command sets, in the order of the commands 663..669 (673..679).
enum Field { kY1, kY2, kX1, kX2, kAngle, kShape, kAction };

// The echo messages of the fields y1, y2, x1, x2 and angle.
constexpr int kFieldEcho[5] = {-457, -458, -459, -460, -461};

// The words the echo writes for a shape and an action, which read back as the same values
// (shapes 3 and 4 and action 1 have no word in their lists and are written as numbers). The
// listings show the longer names of messages -463 to -479 instead.
const char* shape_word(int shape) {
    switch (shape) {
        case 2:
            return "REC";
        case 3:
            return "3";
        case 4:
            return "4";
        default:
            return "ELL";
    }
}

const char* action_word(int action) {
    return action == 1 ? "1" : action == 2 ? "OBS" : "TRA";
}

// The aperture a text names by its first letter, or an index given as digits; -1 when the text
// names none (empty, or no letter).
int aperture_index(int k) {
    const ArgCell* c = arg_cell(k);
    if (c == nullptr) return -1;
    if (c->type == kArgInt) return c->value.i;
    const std::string text = entry_text(k);
    if (text.empty()) return -1;
    if (std::isdigit(static_cast<unsigned char>(text[0])) != 0) {
        return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
    }
    const int letter = std::toupper(static_cast<unsigned char>(text[0]));
    if (letter < 'A' || letter > 'Z') return -1;
    return letter - 'A';
}

int set_count(int command, int n) {
    SurfaceRecord& s = surface(n);
    const int count = arg_int(0);
    if (count < 0 || count > kMaxSpecialApertures) {
        return set_error_msg(kMsgApertureCountOutside, count, kMaxSpecialApertures);
    }
    const int old = s.special_apertures == nullptr ? 0 : s.special_aperture_count;
    if (count != old) {
        auto* grown = static_cast<SpecialAperture*>(
            mem_realloc(s.special_apertures, count > 0 ? count : 1, sizeof(SpecialAperture)));
        if (grown == nullptr) {
            return set_error_msg(old == 0 ? kMsgNoSpecialDataMemory : kMsgOutOfMemory);
        }
        s.special_apertures = grown;
        s.special_aperture_count = static_cast<std::int16_t>(count);
        for (int i = old; i < count; ++i) init_special_aperture(n, i);
        lens_flags().bounds_stale = 1;
    }
    print_message_and_integer("%s ", command, count);
    return 0;
}

int delete_all(int command, int n) {
    SurfaceRecord& s = surface(n);
    if (s.special_apertures == nullptr || s.special_aperture_count <= 0) {
        msg_box(kMsgNoSpecialAperturesToDelete);
        return 0;
    }
    mem_free(s.special_apertures);
    s.special_apertures = nullptr;
    s.special_aperture_count = 0;
    lens_flags().bounds_stale = 1;
    print_symbol_name("%s\n", command);
    return 0;
}

SpecialAperture* named_aperture(int n, int k, int* rc) {
    SurfaceRecord& s = surface(n);
    const int index = aperture_index(k);
    if (index < 0 || index >= s.special_aperture_count) {
        *rc = set_error_msg(kMsgApertureLetterOutside, 'A' + s.special_aperture_count - 1);
        return nullptr;
    }
    *rc = 0;
    return &s.special_apertures[index];
}

int follow(int command, int n) {
    int rc = 0;
    SpecialAperture* a = named_aperture(n, 0, &rc);
    if (a == nullptr) return rc;
    int source = arg_int(1);
    if (source <= 0) source += n;
    const ArgCell* third = arg_cell(2);
    int followed = 0;
    if (third != nullptr && third->type == kArgChar && third->text_length != 0) {
        followed = aperture_index(2);
    }
    if (source < 0 || source > lens_data().image_surface || followed < 0 ||
        surface(source).special_apertures == nullptr ||
        followed >= surface(source).special_aperture_count) {
        return set_error_msg(kMsgFollowedApertureMissing);
    }
    a->pickup_source = static_cast<std::int16_t>(source);
    a->pickup_id_letter = static_cast<std::uint8_t>('A' + followed);
    print_symbol_name("%s ", command);
    text_printf("%c  %d  %c\n", a->id_letter, source, a->pickup_id_letter);
    return 0;
}

int vertex(int command, int n) {
    const int k = arg_int(0);
    if (k < 1 || k > 4) return set_error_msg(kMsgApertureVertexOutside, k);
    int rc = 0;
    SpecialAperture* a = named_aperture(n, 1, &rc);
    if (a == nullptr) return rc;
    const double v = arg_double(2);
    (command == kCmdApertureVertexX ? a->x : a->y)[k - 1] = v;
    set_special_aperture_orientation(*a);
    print_msg(command == kCmdApertureVertexX ? kMsgVertexXEcho : kMsgVertexYEcho, k, a->id_letter);
    print_number_cell_eol(v);
    return 0;
}

int field(int command, int n) {
    int rc = 0;
    SpecialAperture* a = named_aperture(n, 0, &rc);
    if (a == nullptr) return rc;
    const int which = command - (command >= kCmdApertureY1L ? kCmdApertureY1L : kCmdApertureY1);
    const double v = arg_double(1);
    switch (which) {
        case kShape: {
            const int shape = arg_int(1);
            a->shape = static_cast<std::uint8_t>(shape >= 1 && shape <= 4 ? shape : 1);
            print_msg(kMsgShapeEcho, a->id_letter);
            text_printf("%s\n", shape_word(a->shape));
            return 0;
        }
        case kAction: {
            const int action = arg_int(1);
            a->action = static_cast<std::uint8_t>(action < 1 ? 1 : action > 2 ? 4 : action);
            print_msg(kMsgActionEcho, a->id_letter);
            text_printf("%s\n", action_word(a->action));
            return 0;
        }
        case kY1:
        case kY2:
            a->y[which - kY1] = v;
            break;
        case kX1:
        case kX2:
            a->x[which - kX1] = v;
            break;
        default:
            a->angle = v;
            break;
    }
    print_msg(kFieldEcho[which], a->id_letter);
    print_number_cell_eol(v);
    return 0;
}

int run_case(int command, int n) {
    if (command == kCmdApertureCount || command == kCmdApertureCountL) return set_count(command, n);
    if (command == kCmdApertureDelete || command == kCmdApertureDeleteL) {
        return delete_all(command, n);
    }
    if (surface(n).special_apertures == nullptr || surface(n).special_aperture_count <= 0) {
        return set_error_msg(kMsgNoSpecialApertures);
    }
    if (command == kCmdApertureFollow || command == kCmdApertureFollowL) return follow(command, n);
    if (command == kCmdApertureVertexX || command == kCmdApertureVertexY) {
        return vertex(command, n);
    }
    if (command == kCmdApertureGroup) {
        int rc = 0;
        SpecialAperture* a = named_aperture(n, 0, &rc);
        if (a == nullptr) return rc;
        a->group = static_cast<std::uint8_t>(arg_int(1));
        print_msg(kMsgGroupEcho, a->id_letter, static_cast<int>(a->group));
        return 0;
    }
    return field(command, n);
}

}  // namespace

int cmd_special_aperture() {
    const int n = current_surface();
    if (n < 1) return set_error_msg(kMsgNoObjectSurfaceEntry);
    int rc = 0;
    {
        UpdateOutputSwitch output;
        rc = run_case(current_command(), n);
    }
    if (rc != 0) return rc;
    mark_surface_changed(n);
    if (entry_deferred()) return 0;
    return entry_lens_setup();
}
