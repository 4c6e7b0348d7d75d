#include "lens/lens_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "lens/glass_cache.h"
#include "lens/glass_catalog.h"
#include "lens/glass_lookup.h"
#include "lens/lens_data.h"
#include "lens/lens_file_format.h"
#include "lens/optimise_links.h"
#include "lens/surface_tolerances.h"
#include "platform/state_reset.h"
#include "runtime/settings.h"
#include "runtime/text_case.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

// Where the written lines go besides the output: the text in memory with its limit, or the lines
// held back until their block is known; and the focal-length source and the element-drawing
// writer installed at start.
struct LensWriterState {
    FocalLengthSource focal_length = nullptr;
    ElementDrawingLines element_drawing = nullptr;
    std::string* memory = nullptr;
    std::size_t memory_limit = std::string::npos;
    bool memory_full = false;                       // a line did not fit: the text stops before it
    std::vector<std::string>* collected = nullptr;  // lines held back until their block is known
};

LensWriterState g_writer;

constexpr double kDefaultTolerance = 1e-40;
constexpr int kModelGlassLineValues = 24;  // the values a GLA or GLAn line takes
constexpr double kRadiansToDegrees = 57.29577951308232;
constexpr double kNewLensObjectHeight = -1e14;

std::string number(double v) {
    return format_number(v, 2, 0);
}

void emit(const std::string& line) {
    if (g_writer.collected != nullptr) {
        g_writer.collected->push_back(line);
        return;
    }
    if (g_writer.memory != nullptr) {
        // Once a line is lost no later one follows: a text missing a line inside a surface
        // would paste a different surface.
        if (g_writer.memory_full) return;
        if (line.size() + 1 >
            g_writer.memory_limit - std::min(g_writer.memory_limit, g_writer.memory->size())) {
            g_writer.memory_full = true;
            return;
        }
        try {
            g_writer.memory->reserve(
                std::max(g_writer.memory->capacity(), g_writer.memory->size() + line.size() + 1));
            g_writer.memory->append(line);
            g_writer.memory->push_back(';');
        } catch (const std::exception&) {
            g_writer.memory_full = true;
        }
        return;
    }
    write_lens_line(line);
}

// Numbers and switches that equal a new lens's are not written.
void emit_number(const char* word, double value, double fallback) {
    if (std::fabs(value - fallback) > kDefaultTolerance)
        emit(std::string(word) + " " + number(value));
}
void emit_int(const char* word, long value, long fallback) {
    if (value != fallback) emit(std::string(word) + " " + std::to_string(value));
}
void emit_number_always(const char* word, double value) {
    emit(std::string(word) + "  " + number(value));
}
void emit_int_line(const char* word, long value) {
    emit(std::string(word) + " " + std::to_string(value));
}
void emit_text(const char* word, const char* text) {
    emit(std::string(word) + " " + quote_lens_text(text));
}
void emit_pickup(const char* word, int source, int second, double value, int s) {
    std::string line = std::string("PK ") + word + " " + std::to_string(source - s);
    if (second != 0) line += " " + std::to_string(second - s);
    emit(line + " " + number(value));
}

bool is_catalogue_glass(const char* name) {
    char padded[kGlassNameLength + 1];
    pad_glass_name(name, padded);
    int catalog = 0;
    return find_glass(padded, catalog) >= 0;
}

// A model glass is written where it stands, bound to the wavelengths written before the
// surfaces: by index and Abbe number when so entered, else by its index at every wavelength.
void write_model_glass(const SurfaceRecord& s) {
    const std::string name = without_trailing_blanks(s.medium_name, kMediumNameLength);
    char padded[kGlassNameLength + 1];
    pad_glass_name(name.c_str(), padded);
    const int cached = find_cached_glass(padded, CachedGlass::kModel);
    const bool by_abbe =
        s.medium_kind == kMediumModelIndexAbbe || s.medium_kind == kMediumModelIndexAbbeComputed;
    std::string line = by_abbe ? "GLA MOD " : "GLA ";
    line += quote_lens_text(name);
    const LensData& l = lens_data();
    std::vector<double> indices;
    if (cached >= 0) {
        const GlassData& g = glass_cache().entries[cached];
        if (by_abbe) {
            line += " " + number(g.dispersion[0]) + " " + number(g.dispersion[1]);
        } else {
            // The defining values where they were given at the lens wavelengths (the cache's
            // indices carry the corrections for temperature and pressure); else the index the
            // glass has at each lens wavelength now.
            bool own = true;
            for (int w = 0; w < l.wavelength_count && own; ++w) {
                own = g.model_wavelengths[w] == l.wavelengths[w].wavelength;
            }
            for (int w = 0; w < l.wavelength_count; ++w) {
                indices.push_back(own ? g.model_indices[w] : g.index[w]);
            }
        }
    } else if (s.index != nullptr && !by_abbe) {
        for (int w = 0; w < l.wavelength_count; ++w) indices.push_back(s.index[w]);
    }
    // As many indices as the GLA line holds; the rest follow on GLAn lines, n the wavelength of
    // their first index. A glass that fits on one line is written as it always was.
    std::size_t w = 0;
    for (int on_line = 0; w < indices.size(); ++w, ++on_line) {
        const std::string item = " " + number(indices[w]);
        if (on_line == kModelGlassLineValues || line.size() + item.size() > kLensLineLimit) {
            emit(line);
            line = "GLA" + std::to_string(w + 1);
            on_line = 0;
        }
        line += item;
    }
    emit(line);
}

void write_medium(int n, const SurfaceRecord& s) {
    const std::string name = without_trailing_blanks(s.medium_name, kMediumNameLength);
    switch (s.medium_kind) {
        case kMediumModelGlass:
        case kMediumModelIndexAbbe:
        case kMediumModelGlassComputed:
        case kMediumModelIndexAbbeComputed:
            if (!is_catalogue_glass(name.c_str())) write_model_glass(s);
            break;
        case kMediumAir:
            emit("AIR ");
            break;
        case kMediumGlass:
            emit("GLA " + name);
            break;
        case kMediumGlassFixed:
            emit("GLF " + name);
            break;
        case kMediumAirFixed:
            emit("AIF ");
            break;
        case kMediumMirror:
            emit(name == "REFL_HATCH" ? "RFH " : "RFL ");
            break;
        case kMediumPickup:
            emit_int_line("PK  GLA ", s.medium_source - n);
            break;
        default:
            break;
    }
}

// The expansion a surface's medium brings: a TCE line only where the surface differs from it.
double default_tce(int n, const SurfaceRecord& s) {
    switch (s.medium_kind) {
        case kMediumAir:
        case kMediumAirFixed:
            return n == 0 ? 0.0 : kAirTce;
        case kMediumGlass:
        case kMediumGlassFixed: {
            char padded[kGlassNameLength + 1];
            pad_glass_name(without_trailing_blanks(s.medium_name, kMediumNameLength).c_str(),
                           padded);
            const int cached = find_cached_glass(padded, CachedGlass::kCatalogue);
            if (cached >= 0) return glass_cache().entries[cached].tce;
            int catalog = 0;
            const std::int32_t position = find_glass(padded, catalog);
            GlassData glass = {};
            if (position < 0 || read_glass_data(position, catalog, glass) != 0) return 0.0;
            return glass.tce;
        }
        case kMediumMirror:
            return n > 0 ? surface(n - 1).medium_tce : 0.0;
        case kMediumPickup:
            return s.medium_source >= 0 && s.medium_source <= lens_data().image_surface
                       ? surface(s.medium_source).medium_tce
                       : 0.0;
        default:
            return 0.0;
    }
}

// The asphere by the words that enter it again: the even terms by AD..AG, the radial and
// Zernike forms by their coefficient indices, the odd and cone forms by their term numbers.
void write_asphere(const AsphereRecord& a) {
    const int count = a.entered_count;
    auto coefficient_lines = [&](const char* word, int first_slot, int number_of_first) {
        for (int k = first_slot; k < count; ++k) {
            if (std::fabs(a.entered[k]) > 1e-100) {
                emit(word + std::to_string(k - first_slot + number_of_first) + " " +
                     number(a.entered[k]));
            }
        }
    };
    switch (a.kind) {
        case kAsphereEven:
            emit_number_always("AD  ", count > 2 ? a.entered[2] : 0.0);
            emit_number("AE  ", count > 3 ? a.entered[3] : 0.0, 0.0);
            emit_number("AF  ", count > 4 ? a.entered[4] : 0.0, 0.0);
            emit_number("AG  ", count > 5 ? a.entered[5] : 0.0, 0.0);
            break;
        case kAsphereSeries:
            emit_int_line("ASP ASR ", 2 * count - 2);
            coefficient_lines("AS", 0, 0);
            break;
        case kAsphereOdd:
            emit_int_line("ASP ISR ", count + 2);
            coefficient_lines("AT", 0, 3);
            break;
        case kAsphereCone:
            emit_int_line("ASP CNR ", count < 2 ? 0 : count + 1);
            emit_number_always("CNS", count > 0 ? a.entered[0] : 0.0);
            coefficient_lines("AT", 1, 3);
            break;
        case kAsphereZernike:
            emit_int_line("ASP ZSR ", count - 1);
            coefficient_lines("AS", 0, 0);
            break;
        case kAsphereRadial:
            emit_int_line("ASP ARA ", count - 1);
            coefficient_lines("AS", 0, 0);
            break;
        case kAsphereBiconicPairs: {
            // The order that makes a record of this many coefficients again: the form in the
            // thousands, the form's own order below.
            int order = 0;
            switch (a.sub_kind) {
                case kAsphereSeries:
                    order = count < 2 ? count : 2 * count - 2;
                    break;
                case kAsphereOdd:
                    order = count > 0 ? count + 2 : 0;
                    break;
                case kAsphereZernike:
                case kAsphereRadial:
                    order = count > 1 ? count - 1 : 0;
                    break;
                default:
                    break;
            }
            emit_int_line("ASP 101 ", 1000L * a.sub_kind + order);
            if (a.sub_kind == kAsphereEven) {
                emit_number_always("AD  ", count > 2 ? a.entered[2] : 0.0);
                emit_number("AE  ", count > 3 ? a.entered[3] : 0.0, 0.0);
                emit_number("AF  ", count > 4 ? a.entered[4] : 0.0, 0.0);
                emit_number("AG  ", count > 5 ? a.entered[5] : 0.0, 0.0);
            } else {
                coefficient_lines("AS", 0, 0);
            }
            break;
        }
        default:
            break;
    }
}

void write_decentre(int n, const SurfaceRecord& s) {
    // A picked-up decentre takes its values from its source at every set-up: only the link.
    // (A plain pickup from the object surface is no pickup to the set-up: its values stand.)
    if (s.decentre != nullptr &&
        (s.decentre->pickup_source != 0 || s.decentre->pickup_negated == -1)) {
        emit_int_line(s.decentre->pickup_negated < 0 ? "PK  TDM " : "PK  TD ",
                      s.decentre->pickup_source - n);
    } else if (s.decentre != nullptr) {
        const DecentreRecord& d = *s.decentre;
        emit_int_line("DT  ", d.tilt_mode < 0 ? -1 : 1);
        if (s.decentre_reference != nullptr)
            emit_int_line("GC  ", s.decentre_reference->pickup_source);
        emit_number("DCX ", d.dcx, 0.0);
        emit_number("DCY ", d.dcy, 0.0);
        emit_number("DCZ ", d.dcz, 0.0);
        emit_number("TLA ", d.tla, 0.0);
        emit_number("TLB ", d.tlb, 0.0);
        emit_number("TLC ", d.tlc, 0.0);
    }
    if (s.bend != 0) emit("BEN");
}

// A gradient-index medium: its kind, step and reference values, then each non-zero coefficient
// by its word and wavelength.
void write_grin(const GrinRecord& g) {
    static const char* const kKinds[] = {"ARG", "WOD", "AEG", "SPH", "MXF", "LBG",
                                         "USR", "SNS", "TAP", "SEL", "GRD"};
    if (g.kind == kGrinUserGrid) {
        emit("GDT UGR  " + std::to_string(g.count));
    } else if (g.kind >= kGrinArg && g.kind <= kGrinGrd) {
        emit(std::string("GDT ") + kKinds[g.kind - kGrinArg]);
    } else {
        return;
    }
    emit_number("DTH ", g.step, 0.1);
    if (g.kind == kGrinGrd) {
        emit_number("GWV ", g.gwv, 0.58756);
        emit_number("GMZ ", g.gmz, 0.0);
        emit_number("GOZ ", g.goz, 0.0);
    }
    const bool axial =
        g.kind == kGrinArg || g.kind == kGrinAeg || g.kind == kGrinSns || g.kind == kGrinTap;
    const bool radial = axial || g.kind == kGrinSph;
    const bool first_radial = g.kind == kGrinWod || g.kind == kGrinMxf || g.kind == kGrinLbg;
    for (int w = 0; w < max_wavelengths() && g.coefficients != nullptr; ++w) {
        const std::string at = " WV" + std::to_string(w + 1) + " ";
        for (int k = 0; k < 4; ++k) {
            const double z = g.coefficients[4 + k][w];
            const double r = g.coefficients[k][w];
            if (axial && z != 0.0) emit("NZ" + std::to_string(k + 1) + at + number(z));
            if ((radial || (first_radial && k == 0)) && r != 0.0) {
                emit("NR" + std::to_string(k + 1) + at + number(r));
            }
        }
    }
    if (g.kind == kGrinGrd) {
        for (int k = 0; k < 12; ++k) {
            if (g.grd[16 + k] != 0.0) emit("GNZ" + std::to_string(k) + " " + number(g.grd[16 + k]));
        }
        static const char* const kSeries[] = {"GRA", "GRB", "GRC", "GRD"};
        for (int row = 0; row < 4; ++row) {
            for (int k = 0; k < 4; ++k) {
                const double v = g.grd[4 * row + k];
                if (v != 0.0) emit(kSeries[row] + std::to_string(k + 1) + " " + number(v));
            }
        }
    }
}

// A diffractive surface: its kind with the order that gives its coefficient count, the
// diffraction order, the design wavelength and each coefficient above 1e-100 by its index.
void write_diffractive(const SurfaceRecord& s, const DiffractiveRecord& d) {
    const int count = d.entered_count;
    const char* coefficient = "DF";
    switch (d.kind) {
        case kDiffractiveRadial:
            emit_int_line("DOE DFR ", 2 * count - 2);
            break;
        case kDiffractiveRadialOdd:
            emit_int_line("DOE DRA ", count - 1);
            break;
        case kDiffractiveZernike:
            emit_int_line("ZOE ZRR ", count - 1);
            coefficient = "ZR";
            break;
        default:
            return;
    }
    emit_int_line("DOR ", s.diffraction_order);
    emit_number("DWV ", d.design_wavelength, 0.0);
    if (d.kind == kDiffractiveZernike && d.zernike_switch != 0) emit("ZRT On");
    for (int k = 0; k < count; ++k) {
        if (std::fabs(d.entered[k]) > 1e-100) {
            emit(coefficient + std::to_string(k) + " " + number(d.entered[k]));
        }
    }
}

// A mesh: its sizes, every vertex in use (with the surface offset it lies on) and every face;
// a face whose fourth vertex closes it on its first is written with three.
void write_mesh(const SurfaceMesh& m) {
    emit("BDI " + std::to_string(m.vertex_count) + " " + std::to_string(m.face_count));
    for (int k = 0; k < m.vertex_count && m.vertices != nullptr; ++k) {
        const MeshVertex& v = m.vertices[k];
        if (v.surface_offset < 0) continue;
        emit("VX " + std::to_string(k + 1) + " " + number(v.x) + " " + number(v.y) + " " +
             number(v.z) + " " + std::to_string(v.surface_offset));
    }
    for (int f = 0; f < m.face_count && m.faces != nullptr; ++f) {
        const std::int16_t* v = m.faces[f].vertices;
        if (v[0] == 0) continue;
        std::string line = "PF " + std::to_string(f + 1);
        const int corners = v[3] != 0 && v[3] != v[0] ? 4 : 3;
        for (int j = 0; j < corners; ++j) line += " " + std::to_string(v[j]);
        emit(line);
    }
}

void write_spline(const SplineRecord& p) {
    // n points are n + 1 entries.
    emit("SPL " + std::to_string(p.count - 1));
    for (int i = 0; i < p.count; ++i) {
        if (p.radius != nullptr && p.radius[i] != 0.0) {
            emit("SH " + std::to_string(i) + " " + number(p.radius[i]));
        }
        if (p.slope != nullptr && p.slope[i] != 0.0) {
            emit("SS " + std::to_string(i) + " " + number(p.slope[i]));
        }
    }
}

// Tolerances: the items a switch governs when given (held ones with HLD), the value items
// (radius, conic, axial position, the two angles) when not zero.
void write_tolerances(const SurfaceTolerances& t) {
    static const char* const kWords[kToleranceCount] = {"SPT", "IRT", "RDT", "CCT", "THT", "DZT",
                                                        "RNT", "VNT", "DCT", "DXT", "TLT", "TBT",
                                                        "CDX", "CDY", "CAA", "CAB", "CCA", "CCB"};
    for (int k = 0; k < kToleranceCount; ++k) {
        const bool value_item =
            k == kTolRdt || k == kTolCct || k == kTolDzt || k == kTolCaa || k == kTolCab;
        const bool written =
            value_item ? t.values[k] != 0.0 : t.switches[k] == 1 || t.switches[k] == 2;
        if (!written) continue;
        const std::string word = std::string(kWords[k]) + (t.switches[k] == 2 ? " HLD" : "");
        emit_number_always(word.c_str(), t.values[k]);
    }
}

void write_hologram(const HologramRecord& h) {
    emit_int_line("HV1 ", h.first_point_virtual);
    emit_int_line("HV2 ", h.second_point_virtual);
    emit_int_line("HOR ", h.order);
    emit_number("HWV ", h.wavelength, 0.0);
    emit_number("HX1 ", h.first_point[0], 0.0);
    emit_number("HY1 ", h.first_point[1], 0.0);
    emit_number("HZ1 ", h.first_point[2], 0.0);
    emit_number("HX2 ", h.second_point[0], 0.0);
    emit_number("HY2 ", h.second_point[1], 0.0);
    emit_number("HZ2 ", h.second_point[2], 0.0);
}

// Special apertures by letter: their number, then each one's group, and either the aperture it
// follows or its corners (two corners and an angle, or the vertices of a polygon), shape and
// action.
void write_special_apertures(int n, const SurfaceRecord& s) {
    emit("APN " + std::to_string(s.special_aperture_count));
    for (int k = 0; k < s.special_aperture_count; ++k) {
        const SpecialAperture& a = s.special_apertures[k];
        const std::string id(1, static_cast<char>(a.id_letter != 0 ? a.id_letter : 'A' + k));
        if (a.group != 0) emit("AGN " + id + " " + std::to_string(a.group));
        if (a.pickup_source != 0) {
            const int source = a.pickup_source <= n ? a.pickup_source - n : a.pickup_source;
            emit("APK " + id + " " + std::to_string(source) + " " +
                 std::string(1, static_cast<char>(a.pickup_id_letter)));
            continue;
        }
        emit("ATP " + id + " " + std::to_string(a.shape));
        if (a.shape == kApertureEllipse || a.shape == kApertureRectangle) {
            const char* const words[] = {"AY1 ", "AY2 ", "AX1 ", "AX2 "};
            const double values[] = {a.y[0], a.y[1], a.x[0], a.x[1]};
            for (int f = 0; f < 4; ++f) {
                if (values[f] != 0.0) emit(words[f] + id + " " + number(values[f]));
            }
            if (a.angle != 0.0) emit("AAN " + id + " " + number(a.angle));
        } else {
            const int vertices = a.shape == kApertureQuadrilateral ? 4 : 3;
            for (int v = 0; v < vertices; ++v) {
                emit("AVX" + std::to_string(v + 1) + " " + id + " " + number(a.x[v]));
                emit("AVY" + std::to_string(v + 1) + " " + id + " " + number(a.y[v]));
            }
        }
        emit("AAC " + id + " " + std::to_string(a.action));
    }
}

void write_curvature(int n, const SurfaceRecord& s) {
    const double radius = s.curvature != 0.0 ? 1.0 / s.curvature : 0.0;
    switch (s.curvature_kind) {
        case kCurvaturePlain:
            emit_number("RD  ", radius, 0.0);
            break;
        case kCurvatureFixed:
            emit_number_always("RDF ", radius);
            break;
        case kCurvatureFixedRtf:
            emit_number_always("RTF ", radius);
            break;
        case kCurvaturePickup:
        case kCurvaturePickupNegated:
            emit_pickup(s.curvature_kind == kCurvaturePickup ? "CV  " : "CVM ", s.curvature_source,
                        0, s.curvature_solve_value, n);
            break;
        case kCurvatureAxialSlope:
            emit("PU   " + number(s.curvature_solve_value));
            break;
        case kCurvatureChiefSlope:
            emit("PUC  " + number(s.curvature_solve_value));
            break;
        case kCurvatureAxialIncidence:
            emit("PI   " + number(s.curvature_solve_value));
            break;
        case kCurvatureChiefIncidence:
            emit("PIC  " + number(s.curvature_solve_value));
            break;
        case kCurvatureAxialAplanatic:
            emit("AL");
            break;
        case kCurvatureChiefAplanatic:
            emit("ALC");
            break;
        default:
            break;
    }
}

void write_thickness(int n, const SurfaceRecord& s) {
    // The inner surfaces of a non-sequential group have no thickness of their own.
    if (s.group_kind == kGroupNonSequential && s.group_role == kRoleInner) return;
    switch (s.thickness_kind) {
        case kThicknessPlain:
            emit_number("TH  ", s.thickness, 0.0);
            break;
        case kThicknessPickup:
        case kThicknessPickupNegated:
            emit_pickup(s.thickness_kind == kThicknessPickup ? "TH  " : "THM ", s.thickness_source,
                        0, s.thickness_solve_value, n);
            break;
        case kThicknessLength:
        case kThicknessLengthNegated:
            emit_pickup(s.thickness_kind == kThicknessLength ? "LN  " : "LNM ", s.thickness_source,
                        s.thickness_source2, s.thickness_solve_value, n);
            break;
        case kThicknessAxialHeight:
            emit("PY   " + number(s.thickness_solve_value));
            break;
        case kThicknessChiefHeight:
            emit("PYC  " + number(s.thickness_solve_value));
            break;
        case kThicknessFixed:
            emit_number_always("THF ", s.thickness);
            break;
        case kThicknessEdge:
            emit("ET   " + number(s.thickness_solve_value) + " " +
                 number(s.thickness_solve_value2));
            break;
        default:
            break;
    }
}

void write_aperture(int n, const SurfaceRecord& s) {
    // The object surface's aperture is the object height that the set-up derives from the
    // field each time: written, it would only carry the rounding of the last pass.
    const int kind = n == 0 && s.aperture_kind == kApertureFixedValue
                         ? static_cast<int>(kApertureComputed)
                         : static_cast<int>(s.aperture_kind);
    switch (kind) {
        case kApertureComputed:
            if (s.aperture_check != 0) emit("AP CHK 0.0");
            break;
        case kAperturePickup:
            emit_int_line("PK  AP ", s.aperture_source - n);
            if (s.aperture_check != 0) emit("AP CHK 0.0");
            break;
        case kApertureFixedValue:
            emit((s.aperture_check != 0 ? "AP CHK " : "AP  ") + number(s.aperture_radius));
            break;
        case kApertureFixedByGroup:
            emit((s.aperture_check != 0 ? "APF CHK " : "APF  ") + number(s.aperture_radius));
            break;
        default:
            break;
    }
    const LensData& l = lens_data();
    if (n == l.aperture_stop && n != 1) emit("AST ");
    if (n == l.reference_surface && l.reference_surface != l.aperture_stop) emit("RFS ");
}

void write_surface_flags(const SurfaceRecord& s) {
    if (s.grating_spacing != 0.0 && s.diffraction_order != 0 && s.diffractive == nullptr) {
        emit_int_line("GOR ", s.diffraction_order);
    }
    emit_number("GSP ", s.grating_spacing, 0.0);
    if (s.fresnel != 0) emit("FRN FRESNEL");
    emit_number("FCV ", s.fresnel_curvature, 0.0);
    emit_number("FCC ", s.fresnel_conic, 0.0);
    if (s.alternate_intersection != 0) emit("ASI ALTERNATE");
    if (s.tir_only != 0) emit("TIR YES");
    if (s.rod != 0) emit("ROD YES");
    static const char* const kDrawing[] = {nullptr, "DRW OFF", "DRW AP", "DRW ON"};
    if (s.drawing_mode >= kDrawingOff && s.drawing_mode <= kDrawingOn)
        emit(kDrawing[s.drawing_mode]);
    if (s.return_coordinates != nullptr) emit_int_line("RCO", s.return_coordinates->pickup_source);
    if (s.note != nullptr && s.note[0] != '\0') emit_text("NOT ", s.note);
}

void write_wavelengths() {
    const LensData& l = lens_data();
    for (int pass = 0; pass < 2; ++pass) {
        const char* word = pass == 0 ? "WV" : "WW";
        std::string line = word;
        int w = 0;
        for (; w < l.wavelength_count; ++w) {
            const double v = pass == 0 ? l.wavelengths[w].wavelength : l.wavelengths[w].weight;
            const std::string item = " " + number(v);
            if (line.size() + item.size() > 89) break;
            line += item;
        }
        emit(line);
        for (; w < l.wavelength_count; ++w) {
            const double v = pass == 0 ? l.wavelengths[w].wavelength : l.wavelengths[w].weight;
            emit(std::string(word) + std::to_string(w + 1) + " " + number(v));
        }
    }
}

void write_system_options() {
    const LensData& l = lens_data();
    if (l.afocal != 0) emit("AFO 1");
    if (l.cbk != 0) emit_int_line("CBK ", l.cbk);
    if (l.afocal_mode == 2) emit("AMO UNC ");
    if (l.afocal_mode == 1) emit("AMO ANG ");
    if (l.wrsp == 0) emit("WRSP Inf");
    if (l.wrsp > 1) emit("WRSP Lsf");
    if (l.opdw != 1) emit("OPDW Off");
    if (l.apck != 1) emit("APCK Off");
    if (l.epxy != 0) emit("EPXY On");
    if (l.solves_all_configurations != 0) emit("CSLV On");
    if (l.nolc != 0) emit("NOLC On");
    if (l.gprt != 0) emit("GPRT On");
    if (l.grck != 0) emit("GRCK On");
    static const char* const kAim[] = {"RAIM Enp", nullptr,    "RAIM Rrr",
                                       "RAIM Wrm", "RAIM Xrm", "RAIM Tel"};
    if (l.aim_mode >= 0 && l.aim_mode <= 5 && kAim[l.aim_mode] != nullptr) emit(kAim[l.aim_mode]);
    if (l.htnu != 0) emit("HTNU On");
    if (l.zrxr != 0) emit("ZRXR On");
    emit_number("TWL ", l.test_wavelength, 0.54607);
    if (l.txyc != 1) emit("TXYC Off");
    static const char* const kTiltUnits[] = {nullptr, "TTUN Rad", "TTUN Min", "TTUN Sec"};
    if (l.tolerance_angle_units >= 1 && l.tolerance_angle_units <= 3) {
        emit(kTiltUnits[l.tolerance_angle_units]);
    }
    if (l.fan_rays != 21) emit_int_line("FANR ", l.fan_rays);
    emit_number("SASD ", l.sasd, 0.0);
    emit_number("XABA ", l.xaba, 90.0);
}

void write_drawing_conditions(const DrawingConditions& d) {
    emit_number("DLID", d.view[0], 0.0);
    emit_number("DLFD", d.view[1], 0.0);
    emit_number("DLXS", d.view[2], 0.0);
    emit_number("DLYS", d.view[3], 0.0);
    emit_int("DLFS", d.first_surface, 0);
    emit_int("DLLS", d.last_surface, 0);
    emit_int("DLVA", d.view_angle1, 30);
    emit_int("DLHA", d.view_angle2, 240);
    emit_int("DLAP", d.dlap, 0);
    emit_int("DLRI", d.dlri, 3);
    emit_int("DLSP", d.dlsp, 4);
    emit_int("DLRS", d.dlrs, 0);
    emit_int("DLNF", d.row_count, 3);
    for (int k = 0; k < d.row_count && d.rows != nullptr; ++k) {
        const DrawingRaySet& r = d.rows[k];
        const int count = k == 0 ? 3 : k == 2 ? 1 : 0;
        const double field = k == 1 ? 0.7 : k == 2 ? 1.0 : 0.0;
        const double low = k == 0 ? -1.0 : 0.0;
        const double high = k == 0 ? 1.0 : 0.0;
        const std::string row = std::to_string(k) + " ";
        if (r.ray_count != count) emit("DLNR  " + row + std::to_string(r.ray_count));
        if (std::fabs(r.field_fraction - field) > kDefaultTolerance) {
            emit("DLFP  " + row + number(r.field_fraction));
        }
        if (r.x_field_fraction != 0.0) emit("DLXF  " + row + number(r.x_field_fraction));
        if (std::fabs(r.pupil_min - low) > kDefaultTolerance)
            emit("DLMN  " + row + number(r.pupil_min));
        if (std::fabs(r.pupil_max - high) > kDefaultTolerance)
            emit("DLMX  " + row + number(r.pupil_max));
        if (r.offset != 0.0) emit("DLOS  " + row + number(r.offset));
        if (r.drawn != 1) emit("DLYF  " + std::to_string(k) + " Off");
        if (r.wavelength != 1) emit("DLWN  " + row + std::to_string(r.wavelength));
    }
    emit_int("DLCV", d.dlcv, 0);
    if (d.dlas != 0) emit("DLAS On");
    if (d.dlhr != 1) emit("DLHR On");
}

void write_spot_settings(const SpotSettings& s) {
    emit_number("SDAD", s.aperture_divisions, 17.03);
    emit_number("SDGX", s.apodisation_width_x, 1.0);
    emit_number("SDGY", s.apodisation_width_y, 1.0);
    emit_number("SDMS", s.mtf_path_limit, 1000.0);
    emit_number("SDTF", s.through_focus_frequency, 25.0);
    if (s.polychromatic != 1) emit("SDPC Off");
    if (s.apodisation_on != 0) emit("SDAZ On");
    if (s.show_diffraction_limit != 0) emit("SDSA On");
}

void write_element_defaults(const ElementDrawingDefaults& d) {
    std::string values = "ELMDF1";
    for (const double v : d.values) values += " " + number(v);
    emit(values);
    std::string integers = "ELMDF2";
    for (const std::uint16_t v : d.integers) integers += " " + std::to_string(v);
    for (const std::uint8_t v : d.small) integers += " " + std::to_string(v);
    emit(integers);
    const auto text = [](const char* t) {
        return quote_lens_text(std::string(t, strnlen(t, kElementDefaultTextLength)));
    };
    emit("ELMDF3 " + text(d.texts[0]) + " " + text(d.texts[1]));
}

void write_optimise_params(const OptimiseParams& o) {
    emit_number("OPDF", o.damping, 0.001);
    emit_number("OPDS", o.small_damping, 1e-8);
    emit_number("OPDM", o.damping_reduction, 0.6158);
    emit_number("OPDI", o.derivative_increment, 1e-7);
    emit_number("OPBW", o.bound_weight, 1.0);
    emit_number("OPST", o.stop_threshold, 0.01);
    emit_number("OPCT", o.constraint_tolerance, 1e-6);
    emit_number("OMNA", o.min_air_thickness, 0.1);
    emit_number("OMXA", o.max_air_thickness, 10000.0);
    emit_number("OMNG", o.min_glass_thickness, 0.5);
    emit_number("OMXG", o.max_glass_thickness, 100.0);
    if (o.variable_damping != 0) emit("OPVD On");
    if (o.opac != 0) emit("OPAC On");
    if (o.zero_failed_weight != 0) emit("OPZW On");
    if (o.sum_of_squares != 0) emit("OPSS On");
    if (o.automatic_increments != 1) emit("OPVI Off");
    const std::string command = without_trailing_blanks(o.operand_command, kOptimiseTextLength);
    if (command.compare(0, 6, "*oprds") != 0) emit_text("OPOC", command.c_str());
}

}  // namespace

void set_focal_length_source(FocalLengthSource source) {
    g_writer.focal_length = source;
}

void set_element_drawing_writer(ElementDrawingLines writer) {
    g_writer.element_drawing = writer;
}

void set_lens_string(std::string* text, std::size_t limit) {
    g_writer.memory = text;
    g_writer.memory_limit = limit;
    g_writer.memory_full = false;
}

bool lens_string_full() {
    return g_writer.memory_full;
}

void write_surface_commands(int n, const char* prefix) {
    const SurfaceRecord& s = surface(n);
    if (prefix != nullptr) emit(prefix);
    write_medium(n, s);
    if (s.medium_kind != kMediumUnwritten && s.medium_tce != default_tce(n, s)) {
        emit_number_always("TCE", s.medium_tce);
    }
    if (s.group_kind > kGroupNone && s.group_role == kRoleFirst) {
        static const char* const kGroup[] = {nullptr, "LMO NSS", "LMO ELE", "LMO EGR"};
        if (s.group_kind <= kGroupElementGroup) emit(kGroup[s.group_kind]);
        const std::string label = without_trailing_blanks(s.group_label, kGroupLabelLength);
        const std::size_t blank = label.find(' ');
        if (!label.empty()) emit_text("LMN", label.substr(0, blank).c_str());
    }
    if (s.skip_to != 0) emit_int_line("SKP", s.skip_to);
    write_curvature(n, s);
    write_thickness(n, s);
    write_aperture(n, s);
    if (s.curvature_kind != kCurvaturePickup && s.curvature_kind != kCurvaturePickupNegated) {
        emit_number("CC  ", s.conic, 0.0);
        if (s.toric != 0) emit_number_always("CVX ", s.x_curvature);
    }
    if (s.asphere != nullptr && s.curvature_kind != kCurvaturePickup &&
        s.curvature_kind != kCurvaturePickupNegated) {
        write_asphere(*s.asphere);
    }
    write_decentre(n, s);
    if (s.diffractive != nullptr && s.diffractive->pickup_source != 0) {
        emit_int_line("PK  DFC ", s.diffractive->pickup_source - n);
        emit_int_line("DOR ", s.diffraction_order);
    } else if (s.diffractive != nullptr) {
        write_diffractive(s, *s.diffractive);
    }
    if (s.hologram != nullptr) write_hologram(*s.hologram);
    if (s.spline != nullptr) write_spline(*s.spline);
    if (s.mesh != nullptr) write_mesh(*s.mesh);
    if (s.grin != nullptr) write_grin(*s.grin);
    if (s.perfect_lens != nullptr) {
        emit_number_always("PFL  ", s.perfect_lens->focal_length);
        emit_number("PFM ", s.perfect_lens->magnification, 0.0);
    }
    if (s.special_apertures != nullptr && s.special_aperture_count > 0) {
        write_special_apertures(n, s);
    }
    if (s.element_drawing != nullptr && g_writer.element_drawing != nullptr) {
        for (const std::string& line :
             g_writer.element_drawing(*s.element_drawing, lens_data().element_drawing_defaults)) {
            emit(line);
        }
    }
    write_surface_flags(s);
    if (s.tolerances != nullptr) write_tolerances(*s.tolerances);
    if (s.group_kind > kGroupNone && s.group_role == kRoleLast) emit("LME");
}

void write_lens_commands() {
    set_lens_string(nullptr);
    // Before the lens arrays exist there is no lens to write.
    if (surface_array() == nullptr || lens_data().wavelengths == nullptr) return;
    LensLineChannel* channel = current_lens_channel();
    const LensData& l = lens_data();
    const int output = get_setting_flag(kSetOutputOn);
    set_setting_flag(kSetOutputOn, 0);
    // The lens is written in its first configuration.
    const int configuration = optimise_current_configuration();
    if (configuration != 1) optimise_set_configuration(1);

    const double focal =
        g_writer.focal_length != nullptr && l.afocal == 0 ? g_writer.focal_length() : 0.0;
    emit("LEN NEW " + quote_lens_text(without_trailing_blanks(l.title, kTitleLength)) + " " +
         format_number(focal, 8, 0) + " " + std::to_string(l.image_surface));
    if (l.aperture_is_na != 0) {
        emit_number("NAO ", l.object_na, 0.0);
    } else {
        emit_number("EBR ", l.entrance_beam_radius, 0.0);
    }
    // The field is written when it differs from a new lens's (a tiny angle, a far object).
    if (l.field_is_angle != 0) {
        if (std::fabs(l.field_angle - kLeastNonZero) > kDefaultTolerance) {
            emit_number("ANG ", l.field_angle * kRadiansToDegrees, 0.0);
        }
    } else {
        emit_number("OBH ", l.object_height, kNewLensObjectHeight);
    }
    emit_number("TEM ", l.temperature, 20.0);
    emit_number("PRE ", l.pressure, 1.0);
    emit_text("DES ", without_trailing_blanks(l.designer, kDesignerLength).c_str());
    emit_number("UNI ", l.units, 0.0);
    if (l.global_coordinate_surface != 1) emit_int_line("GCS ", l.global_coordinate_surface);
    if (l.element_drawing_defaults.set != 0) write_element_defaults(l.element_drawing_defaults);
    for (int k = 0; k < kNoteLines; ++k) {
        if (l.notes[k][0] != '\0') {
            emit_text(("SNO" + std::to_string(k + 1)).c_str(), l.notes[k]);
        }
    }
    // The options and wavelengths come before the surfaces: a model glass written by its
    // indices is bound to the wavelengths in force when its line runs.
    write_system_options();
    write_wavelengths();
    write_surface_commands(0, "// SRF 0");
    for (int n = 1; n <= l.image_surface; ++n) {
        write_surface_commands(n, ("NXT  // SRF " + std::to_string(n)).c_str());
    }
    emit_int_line("END ", l.image_surface);

    if (channel != nullptr && channel->in_section()) channel->select(kSectionOpc);
    if (l.drawing_conditions != nullptr || l.spot_settings != nullptr ||
        l.optimise_params != nullptr) {
        std::vector<std::string> lines;
        g_writer.collected = &lines;
        if (l.drawing_conditions != nullptr) write_drawing_conditions(*l.drawing_conditions);
        if (l.spot_settings != nullptr) write_spot_settings(*l.spot_settings);
        if (l.optimise_params != nullptr) write_optimise_params(*l.optimise_params);
        g_writer.collected = nullptr;
        // The settings' words belong to the lens block: it is opened again around them, after
        // the "END" at which an insertion of this file stops reading.
        if (!lines.empty()) {
            emit("LEN");
            for (const std::string& line : lines) emit(line);
            emit("END");
        }
    }
    if (channel != nullptr && channel->in_section()) channel->select(kSectionLen);
    optimise_write_variables();
    if (configuration != 1) optimise_set_configuration(configuration);
    set_setting_flag(kSetOutputOn, output);
}

namespace {
// The focal-length source and the element-drawing writer installed at start stay.
void reset_lens_writer() {
    LensWriterState fresh;
    fresh.focal_length = g_writer.focal_length;
    fresh.element_drawing = g_writer.element_drawing;
    g_writer = fresh;
}
const platform::StateReset lens_writer_state_reset{"lens/lens_writer", reset_lens_writer,
                                                   platform::ResetLayer::lens};
}  // namespace
