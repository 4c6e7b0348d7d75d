// ".zmx" files: one keyword per line, surfaces opened by SURF and described by the lines that
// follow. The handler keeps the file's surface type and mirror parity: after an odd number of
// mirrors a glass thickness positive in the file runs backwards.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "lens/glass_catalog.h"
#include "lens/import_frame.h"
#include "lens/import_readers.h"
#include "lens/lens_data.h"
#include "lens/surface_groups.h"
#include "lens/surface_insert_delete.h"
#include "lens/surface_setters.h"
#include "runtime/arg_cells.h"
#include "runtime/command_context.h"
#include "runtime/settings.h"

namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
// The file's surface type of a toroid (the types list of the definitions).
constexpr int kZmxToroidal = 4;

bool starts_nocase(const std::string& text, const char* word) {
    std::size_t k = 0;
    for (; word[k] != '\0'; ++k) {
        if (k >= text.size() || std::toupper(static_cast<unsigned char>(text[k])) !=
                                    std::toupper(static_cast<unsigned char>(word[k]))) {
            return false;
        }
    }
    return true;
}

// The number a text holds (0 for none); INF... is the given infinite value.
double number_or_infinite(const std::string& text, double infinite, bool* is_infinite) {
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    *is_infinite = starts_nocase(text.substr(at), "INF");
    if (*is_infinite) return infinite;
    const double v = std::strtod(text.c_str() + at, nullptr);
    return std::isfinite(v) ? v : 0.0;
}

int current() {
    return std::max(0, lens_data().current_surface);
}

// A catalogue glass after an odd number of mirrors runs backwards.
void apply_mirror_parity(int n) {
    SurfaceRecord& s = surface(n);
    if (s.medium_kind == kMediumGlass && import_state().zmx_mirror_parity == 1 &&
        s.thickness > 0.0) {
        set_thickness_data(n, 0, 0, 0, 0.0, 0.0, -s.thickness);
    }
}

// The catalogue glass a file's name stands for, looked up in the catalogues the file names
// first: the name itself, the same name loosely spelt, then a glass renamed since (the
// catalogue's one "N-" successor of an old lead glass name), which is said.
bool catalogue_glass(int n, const std::string& name) {
    const std::vector<int>& catalogs = import_state().glass_catalogs;
    if (!catalogs.empty()) {
        const std::string like = catalogue_glass_like(name, catalogs);
        if (!like.empty() && import_catalogue_glass(n, like)) return true;
    }
    if (import_catalogue_glass(n, name) || import_catalogue_glass(n, "O_" + name) ||
        import_catalogue_glass(n, "H_" + name)) {
        return true;
    }
    const std::string successor = catalogue_glass_like("N-" + name, catalogs);
    if (!successor.empty() && import_catalogue_glass(n, successor)) {
        import_print(kMsgImportGlassSuccessor, n, name, successor);
        return true;
    }
    return false;
}

void glass(int n) {
    const std::string name = import_text_arg(0);
    ImportState& st = import_state();
    if (starts_nocase(name, "MIRROR") && name.size() == 6) {
        if (n >= 1) set_surface_medium(n, kMediumMirror, "REFLECT", 0);
        st.zmx_mirror_parity ^= 1;
        return;
    }
    const std::string cut = name.substr(0, kMediumNameLength);
    if (!catalogue_glass(n, cut)) {
        const double nd = arg_double(3);
        const double vd = arg_double(4);
        if (import_given_count() < 5 || nd == 0.0 || vd == 0.0) {
            import_print(kMsgImportGlassUnknown, n, cut);
        } else {
            const double values[2] = {nd, vd};
            import_model_glass(n, cut, true, values, 2);
        }
    }
    apply_mirror_parity(n);
}

// "APN ..." lines of an obscuration or clear aperture hold only numbers.
void square_aperture_line(const char* head, char letter, double r, int kind, int cover) {
    char line[320];
    std::snprintf(
        line, sizeof line,
        "%s; AY1 %c %.12e; AY2 %c %.12e; AX1 %c %.12e; AX2 %c %.12e; ATP %c %d; AAC %c %d", head,
        letter, -r, letter, r, letter, -r, letter, r, letter, kind, letter, cover);
    import_run_native(line);
}

void surface_parameter(int n) {
    ImportState& st = import_state();
    const int p = arg_int(0);
    const double v = arg_double(1);
    if (st.zmx_surface_type == 2) {
        if (p < 1 || p > 5) return;
        st.zmx_break[p - 1] = p <= 2 ? v : -v;
        if (p != 5) return;
        if (ensure_decentre_record(n) != 0) return;
        DecentreRecord& d = *surface(n).decentre;
        d.dcx = st.zmx_break[0];
        d.dcy = st.zmx_break[1];
        d.dcz = 0.0;
        d.tla = st.zmx_break[2];
        d.tlb = st.zmx_break[3];
        d.tlc = st.zmx_break[4];
        d.tilt_mode = 1;
        surface(n).bend = 0;
    } else if (st.zmx_surface_type == 3) {
        if (p >= 2 && p <= 5) set_polynomial_asphere_term(n, 2 * p, v);
    } else if (st.zmx_surface_type == kZmxToroidal) {
        // Parameter 1 is the radius of rotation (0: none, the surface is flat across); those
        // after it the terms y^2, y^4, ... of the y section, which the sweep carries round.
        if (p == 1) {
            set_toric_curvature(n, v == 0.0 ? 0.0 : 1.0 / v);
        } else if (p >= 2 && p <= 10) {
            import_even_term(n, 2 * (p - 1), v);
        } else if (v != 0.0) {
            import_note_ignored("toroidal parameter", "beyond the y^18 term");
        }
    }
}

void field(double v) {
    LensData& l = lens_data();
    if (import_state().pending_field == kPendingImageHeight) {
        import_state().image_height = v == 0.0 ? 1e-10 : v;
    } else if (l.field_is_angle == 0) {
        l.object_height = v == 0.0 ? 1e-10 : v;
    } else if (l.field_is_angle == 1) {
        l.field_angle = v == 0.0 ? 0.001 : v * kRadiansPerDegree;
    }
}

void setup() {
    LensData& l = lens_data();
    l.aperture_is_na = 0;
    import_state().pending_aperture = kPendingStopApertures;
    l.field_is_angle = 1;
    if (l.drawing_conditions != nullptr) l.drawing_conditions->dlrs = 3;
    push_command_context('Z');
}

LineAction repair(std::string& line, int*) {
    if (starts_nocase(line, "NAME") && line.size() > 5) {
        std::string title = line.substr(5);
        // A quote inside the title would end the quoted text early.
        for (char& c : title)
            if (c == '"') c = '\'';
        line = "NAME \"" + title + "\"";
    }
    return LineAction::run;
}

// Gaussian apodisation widths were fractions of the pupil.
int last(int result) {
    LensData& l = lens_data();
    SpotSettings* s = l.spot_settings;
    if (s != nullptr && s->apodisation_on != 0) {
        s->apodisation_width_x *= l.entrance_beam_radius;
        s->apodisation_width_y *= l.entrance_beam_radius;
    }
    return result;
}

}  // namespace

// The highest surface number a SURF line names (the image is the last).
int surfaces_needed(const std::vector<std::string>& lines) {
    long highest = 0;
    for (const std::string& line : lines) {
        std::size_t at = line.find_first_not_of(" \t");
        if (at == std::string::npos || !starts_nocase(line.substr(at), "SURF")) continue;
        at += 4;
        if (at < line.size() && line[at] != ' ' && line[at] != '\t') continue;
        const long number = std::strtol(line.c_str() + at, nullptr, 10);
        highest = std::max(highest, std::min(number, 1000000L));
    }
    return static_cast<int>(highest);
}

// One wavelength of a WAVM line: the table grows to the highest number given.
void listed_wavelength() {
    LensData& l = lens_data();
    const int number = arg_int(0);
    if (number < 1 || number > max_wavelengths()) {
        import_note_ignored("wavelength", "beyond the wavelength table");
        return;
    }
    const double wavelength = arg_double(1);
    if (!(wavelength > 0.0) || !std::isfinite(wavelength)) {
        import_note_ignored("wavelength", "not a wavelength");
        return;
    }
    ImportState& st = import_state();
    if (!st.wavelengths_listed) {
        st.wavelengths_listed = true;
        l.wavelength_count = 0;
    }
    for (int k = l.wavelength_count; k < number; ++k) {
        l.wavelengths[k].wavelength = wavelength;
        l.wavelengths[k].weight = 1.0;
    }
    l.wavelengths[number - 1].wavelength = wavelength;
    l.wavelengths[number - 1].weight = import_given_count() >= 3 ? arg_double(2) : 1.0;
    l.wavelength_count = std::max(l.wavelength_count, number);
    l.current_wavelength = 0;
    lens_flags().wavelengths_changed = 1;
    lens_flags().materials_changed = 1;
}

int read_zmx_file(const std::string& path) {
    ImportReader reader;
    reader.surfaces_needed = surfaces_needed;
    reader.setup = setup;
    reader.repair = repair;
    reader.last = last;
    return read_import_lines(reader, path);
}

namespace {

// SURF, TYPE, STOP, GLAS, PARM: which surface the lines that follow describe, its kind and medium.
int zmx_surface_keyword(int command, int n) {
    LensData& l = lens_data();
    ImportState& st = import_state();
    switch (command) {
        case kCmdGlasZ:
            glass(n);
            break;
        case kCmdParmZ:
            surface_parameter(n);
            break;
        case kCmdStopZ:
            import_set_stop(n);
            break;
        case kCmdSurfZ: {
            int a = arg_int(0);
            if (a < 0) a = n + 1;
            st.zmx_surface_type = 1;
            if (a == 0) st.zmx_mirror_parity = 0;
            if (a > surface_limit()) {
                // The file's lens is larger than the program holds; the frame stops here.
                st.surface_overflow = true;
                break;
            }
            if (a > l.image_surface) l.image_surface = a;
            set_current_surface(a);
            break;
        }
        case kCmdTypeZ:
            st.zmx_surface_type = arg_int(0);
            // A toroidal surface is toric even when the file gives no radius of rotation.
            if (st.zmx_surface_type == kZmxToroidal && n >= 1) set_toric_curvature(n, 0.0);
            break;
        case kCmdXdatZ:
            // The extra data of a toroidal surface are its Zernike terms (after the count and
            // the normalisation radius); the program has no such term on a toroid.
            if (st.zmx_surface_type == kZmxToroidal && arg_int(0) > 2 && arg_double(1) != 0.0) {
                import_note_ignored("Zernike term of a toroidal surface",
                                    "not held by the program");
            }
            break;
        default:
            break;
    }
    return 0;
}

// The curvature and conic of the current surface, entered or solved (CURV, RADI, CONI and the
// curvature solves).
int zmx_curvature_keyword(int command, int n) {
    LensData& l = lens_data();
    bool infinite = false;
    switch (command) {
        case kCmdCaplZ:
            set_curvature_data(n, 10, 0, 0.0, surface(n).curvature);
            break;
        case kCmdCpucZ:
            set_curvature_data(n, 4, 0, arg_double(0), surface(n).curvature);
            break;
        case kCmdCpicZ:
            set_curvature_data(n, 9, 0, arg_double(0), surface(n).curvature);
            break;
        case kCmdConiZ:
            set_conic_constant(n, arg_double(0));
            break;
        case kCmdCurvZ: {
            const double c = arg_double(0);
            const double a2 = arg_double(2);
            switch (arg_int(1)) {
                case 0:
                case 1:
                    set_curvature_data(n, 0, 0, 0.0, c);
                    break;
                case 2:
                    set_curvature_data(n, 3, 0, a2, c);
                    break;
                case 3:
                    set_curvature_data(n, 4, 0, a2, c);
                    break;
                case 4: {
                    const int source = static_cast<int>(std::clamp(a2, -1.0, 1e9));
                    if (source < 0 || source > l.image_surface) {
                        import_note_ignored("curvature pickup", "its surface is not in the lens");
                    } else {
                        set_curvature_data(n, arg_double(3) >= 0.0 ? 1 : 2,
                                           static_cast<std::int16_t>(source), 0.0, c);
                    }
                    break;
                }
                case 5:
                    set_curvature_data(n, 8, 0, a2, c);
                    break;
                case 6:
                    set_curvature_data(n, 9, 0, a2, c);
                    break;
                case 7:
                    set_curvature_data(n, 10, 0, 0.0, c);
                    break;
                default:
                    break;
            }
            break;
        }
        case kCmdCpuaZ:
            set_curvature_data(n, 3, 0, arg_double(0), surface(n).curvature);
            break;
        case kCmdCpiaZ:
            set_curvature_data(n, 8, 0, arg_double(0), surface(n).curvature);
            break;
        case kCmdCpkpZ: {
            const int source = arg_int(0);
            if (source < 0 || source > l.image_surface) {
                import_note_ignored("curvature pickup", "its surface is not in the lens");
            } else {
                set_curvature_data(n, arg_double(1) >= 0.0 ? 1 : 2,
                                   static_cast<std::int16_t>(source), 0.0, surface(n).curvature);
            }
            break;
        }
        case kCmdRadiZ: {
            const double r = number_or_infinite(import_text_arg(0), 0.0, &infinite);
            set_curvature_data(n, 0, 0, 0.0, infinite || r == 0.0 ? 0.0 : 1.0 / r);
            break;
        }
        default:
            break;
    }
    return 0;
}

// The thickness of the current surface, entered or solved (DISZ and the thickness solves).
int zmx_thickness_keyword(int command, int n) {
    LensData& l = lens_data();
    bool infinite = false;
    switch (command) {
        case kCmdTpycZ:
            set_thickness_data(n, 6, 0, 0, arg_double(0), 0.0, surface(n).thickness);
            break;
        case kCmdDiszZ: {
            const double t = number_or_infinite(import_text_arg(0), kInfiniteDistance, &infinite);
            set_thickness_data(n, 0, 0, 0, 0.0, 0.0, t);
            apply_mirror_parity(n);
            break;
        }
        case kCmdTpyhZ:
            set_thickness_data(n, 5, 0, 0, arg_double(0), 0.0, surface(n).thickness);
            break;
        case kCmdPzupZ: {
            const int source = arg_int(0);
            if (source < 0 || source > l.image_surface) {
                import_note_ignored("thickness pickup", "its surface is not in the lens");
            } else {
                set_thickness_data(n, arg_double(1) >= 0.0 ? 1 : 2,
                                   static_cast<std::int16_t>(source), 0, 0.0, 0.0,
                                   surface(n).thickness);
            }
            break;
        }
        default:
            break;
    }
    return 0;
}

// The clear aperture of the current surface and its obscurations.
int zmx_aperture_keyword(int command, int n) {
    switch (command) {
        case kCmdClapZ: {
            const double inner = arg_double(0);
            const double outer = arg_double(1);
            if (inner != 0.0) square_aperture_line("APN 1", 'A', inner, 1, 2);
            if (outer != 0.0 && outer < 1e10) {
                set_aperture_data(n, 1, 0, outer);
                surface(n).aperture_check = 1;
            }
            break;
        }
        case kCmdDiamZ:
            set_aperture_data(n, 1, 0, arg_double(0));
            break;
        case kCmdFlapZ:
            // A floating aperture bounds the surface only where the file gives no other.
            if (surface(n).aperture_kind == 0 && arg_double(1) > 0.0) {
                set_aperture_data(n, 1, 0, arg_double(1));
            }
            break;
        case kCmdObscZ: {
            const double inner = arg_double(0);
            const double outer = arg_double(1);
            if (inner == 0.0) {
                square_aperture_line("APN 1", 'A', outer, 1, 2);
            } else {
                square_aperture_line("APN 2", 'A', inner, 1, 4);
                square_aperture_line("AGN B 1", 'B', outer, 1, 2);
            }
            break;
        }
        default:
            break;
    }
    return 0;
}

// The lens-wide data: title, units, aperture, field, wavelengths, pupil.
int zmx_system_keyword(int command, int /*n*/) {
    LensData& l = lens_data();
    ImportState& st = import_state();
    switch (command) {
        case kCmdEnpdZ:
            l.entrance_beam_radius = arg_double(0) * 0.5;
            l.aperture_is_na = 0;
            st.pending_aperture = kPendingEntrancePupil;
            break;
        case kCmdFnumZ:
            st.f_number = arg_double(0);
            l.entrance_beam_radius = 1.0;
            l.aperture_is_na = 0;
            st.pending_aperture = kPendingFNumber;
            break;
        case kCmdFtypZ:
            switch (arg_int(0)) {
                case 0:
                    l.field_is_angle = 1;
                    st.pending_field = 0;
                    break;
                case 1:
                    l.field_is_angle = 0;
                    st.pending_field = 0;
                    break;
                case 2:
                    l.field_is_angle = 0;
                    st.pending_field = kPendingImageHeight;
                    break;
                default:
                    import_note_ignored("field type", "not one the program converts");
                    break;
            }
            break;
        case kCmdPupdZ: {
            const int type = arg_int(1);
            if (type != 0) import_print(kMsgApodisationNotConverted, st.line, std::string());
            if (type == 1 && l.spot_settings != nullptr) {
                l.spot_settings->apodisation_on = 1;
                l.spot_settings->apodisation_width_x = arg_double(0);
                l.spot_settings->apodisation_width_y = arg_double(0);
            }
            break;
        }
        case kCmdNameZ:
            import_set_title(import_text_arg(0));
            break;
        case kCmdObnaZ:
            l.object_na = arg_double(0);
            l.aperture_is_na = 1;
            st.pending_aperture = 0;
            break;
        case kCmdPopdZ:
            if (arg_int(0) == 0) import_print(kMsgImportNotConverted, st.line, std::string());
            break;
        case kCmdPwavZ:
            import_reference_wavelength(arg_int(0));
            break;
        case kCmdRsceZ:
            switch (arg_int(0)) {
                case 0:
                    l.wrsp = 2;
                    break;
                case 1:
                    l.wrsp = 0;
                    break;
                case 2:
                    l.wrsp = 1;
                    break;
                default:
                    break;
            }
            break;
        case kCmdUnitZ:
            if (arg_double(0) > 0.0) l.units = arg_double(0);
            break;
        case kCmdWavlZ:
            import_set_wavelengths(1.0);
            break;
        case kCmdWavmZ:
            listed_wavelength();
            break;
        case kCmdGcatZ:
            // The catalogues the file's glass names belong to.
            for (int k = 0; k < arg_count(); ++k) {
                const int catalog = glass_catalog_of_maker(import_text_arg(k));
                if (catalog >= 0) st.glass_catalogs.push_back(catalog);
            }
            break;
        case kCmdWwgtZ:
            import_set_weights();
            break;
        case kCmdYflnZ: {
            const int count = import_given_count();
            double v = 0.0;
            for (int k = 0; k < count; ++k)
                if (std::fabs(arg_double(k)) > std::fabs(v)) v = arg_double(k);
            if (count > 0) field(v);
            break;
        }
        default:
            break;
    }
    return 0;
}

}  // namespace

int cmd_zmx_keyword() {
    if (const int refused = import_keyword_allowed('Z'); refused != 0) return refused;
    const int command = current_command();
    const int n = current();
    for (const auto step : {zmx_surface_keyword, zmx_curvature_keyword, zmx_thickness_keyword,
                            zmx_aperture_keyword, zmx_system_keyword}) {
        if (const int rc = step(command, n); rc != 0) return rc;
    }
    return 0;
}
