// The body of the lane-parallel trace, written once for both lane widths. Each path's source
// (lane_trace_avx2.cpp, lane_trace_sse2.cpp) includes the headers below first, then defines
// LANE_KERNEL_NAMESPACE and LANE_KERNEL_WIDTH and includes this file inside its code-generation
// options, so that every function here is compiled for that path alone and under a name of its
// own: no out-of-line copy built for AVX2 can stand in for a function the SSE2 path calls.
//
// Every lane repeats the scalar step's operations in the scalar step's order (surface_step.cpp:
// plain_step, closed_form_intersection, the Newton iteration of general_intersect.cpp,
// bend_plain), so each lane's numbers are the scalar trace's bit for bit. Where the scalar step
// branches on a value, a lane either takes the usual way or leaves (see lane_trace.h).
//
// Needs: <cstdint>, <immintrin.h>, lens/lens_data.h, trace/general_intersect.h,
// trace/lane_trace.h, trace/ray_record.h, trace/trace_seams.h, trace/trace_tolerances.h,
// trace/aperture_shapes.h.

namespace LANE_KERNEL_NAMESPACE {

constexpr int kWidth = LANE_KERNEL_WIDTH;
static_assert(kWidth == kLanesAvx2 || kWidth == kLanesSse2, "a lane width of the two paths");

using V = double __attribute__((vector_size(8 * kWidth)));
using M = std::int64_t __attribute__((vector_size(8 * kWidth)));

#if LANE_KERNEL_WIDTH == 4
[[gnu::always_inline]] inline V splat(double v) {
    return V{v, v, v, v};
}
[[gnu::always_inline]] inline M splat_mask(std::int64_t v) {
    return M{v, v, v, v};
}
// The lane numbers.
[[gnu::always_inline]] inline M lane_numbers() {
    return M{0, 1, 2, 3};
}
// One bit per lane, lane 0 lowest.
[[gnu::always_inline]] inline int lane_bits(M m) {
    return _mm256_movemask_pd(reinterpret_cast<__m256d>(m));
}
// The correctly rounded square root, as the scalar step's checked_sqrt.
[[gnu::always_inline]] inline V lane_root(V v) {
    return reinterpret_cast<V>(_mm256_sqrt_pd(reinterpret_cast<__m256d>(v)));
}
// a where c holds, else b; c is all ones or all zeros in each lane.
[[gnu::always_inline]] inline V select(M c, V a, V b) {
    return reinterpret_cast<V>(_mm256_blendv_pd(
        reinterpret_cast<__m256d>(b), reinterpret_cast<__m256d>(a), reinterpret_cast<__m256d>(c)));
}
// ~(a >= b), ~(a > b) and ~(a < b), each true where a is not a number: one comparison each.
[[gnu::always_inline]] inline M not_at_least(V a, V b) {
    return reinterpret_cast<M>(
        _mm256_cmp_pd(reinterpret_cast<__m256d>(a), reinterpret_cast<__m256d>(b), _CMP_NGE_UQ));
}
[[gnu::always_inline]] inline M not_above(V a, V b) {
    return reinterpret_cast<M>(
        _mm256_cmp_pd(reinterpret_cast<__m256d>(a), reinterpret_cast<__m256d>(b), _CMP_NGT_UQ));
}
[[gnu::always_inline]] inline M not_below(V a, V b) {
    return reinterpret_cast<M>(
        _mm256_cmp_pd(reinterpret_cast<__m256d>(a), reinterpret_cast<__m256d>(b), _CMP_NLT_UQ));
}
#else
[[gnu::always_inline]] inline V splat(double v) {
    return V{v, v};
}
[[gnu::always_inline]] inline M splat_mask(std::int64_t v) {
    return M{v, v};
}
[[gnu::always_inline]] inline M lane_numbers() {
    return M{0, 1};
}
[[gnu::always_inline]] inline int lane_bits(M m) {
    return _mm_movemask_pd(reinterpret_cast<__m128d>(m));
}
[[gnu::always_inline]] inline V lane_root(V v) {
    return reinterpret_cast<V>(_mm_sqrt_pd(reinterpret_cast<__m128d>(v)));
}
// The generic forms of these would be taken lane by lane here: SSE2 has no 64-bit integer
// comparison for the compiler's select, and no single comparison for a negated one.
[[gnu::always_inline]] inline V select(M c, V a, V b) {
    return reinterpret_cast<V>((c & reinterpret_cast<M>(a)) | (~c & reinterpret_cast<M>(b)));
}
[[gnu::always_inline]] inline M not_at_least(V a, V b) {
    return reinterpret_cast<M>(
        _mm_cmpnge_pd(reinterpret_cast<__m128d>(a), reinterpret_cast<__m128d>(b)));
}
[[gnu::always_inline]] inline M not_above(V a, V b) {
    return reinterpret_cast<M>(
        _mm_cmpngt_pd(reinterpret_cast<__m128d>(a), reinterpret_cast<__m128d>(b)));
}
[[gnu::always_inline]] inline M not_below(V a, V b) {
    return reinterpret_cast<M>(
        _mm_cmpnlt_pd(reinterpret_cast<__m128d>(a), reinterpret_cast<__m128d>(b)));
}
#endif

[[gnu::always_inline]] inline bool any(M m) {
    return lane_bits(m) != 0;
}

// How many of the (at most four) lane bits are set: the processor's count instruction is not
// in the baseline set, and the library's call for it showed in the spot diagram's time.
[[gnu::always_inline]] inline int lanes_set(int bits) {
    constexpr int kSet[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    return kSet[bits & 15];
}

[[gnu::always_inline]] inline M lanes_below(int count) {
    return lane_numbers() < count;
}

[[gnu::always_inline]] inline M one_lane(int lane) {
    return lane_numbers() == lane;
}

[[gnu::always_inline]] inline V magnitude(V v) {
    return reinterpret_cast<V>(reinterpret_cast<M>(v) & splat_mask(INT64_MAX));
}

// -v where c holds, else v.
[[gnu::always_inline]] inline V negate_where(M c, V v) {
    return reinterpret_cast<V>(reinterpret_cast<M>(v) ^ (c & splat_mask(INT64_MIN)));
}

// v / d where d is not 1; dividing by exactly 1 leaves v as it is, so every lane divides when
// any needs it.
[[gnu::always_inline]] inline V divide_unless_one(V v, V d) {
    return any(d != 1.0) ? v / d : v;
}

// The numbers of the rays, one lane each; raw (rk, rl, rm) and f as in surface_step.cpp's
// RawDirection.
struct Lanes {
    V x, y, z;
    V k, l, m;
    V dist, opl, chrom_opl;
    V nx, ny, nz, normal_len2, cos_i, gamma;
    V rk, rl, rm, f;
};

// What all the lanes of a group share: the rays stand at the same surface in the same media and
// travel the same way (trace_lanes_to_surface groups them so); a lane that would part from the
// others leaves.
struct Shared {
    const double* medium;
    const double* prev_medium;
    const double* alt_medium;
    const double* prev_alt_medium;
    std::int32_t surface;
    std::uint8_t reversed;
};

struct Fixed {
    int image;
    int wavelength;
    int wavelength_count;
    bool check_apertures;
    double image_thickness;
};

// The even asphere's terms for the lanes: its coefficients, and those of the slope's series as
// the scalar evaluator forms them (2 k c[k]).
struct AsphereTerms {
    int count;
    double aa;  // (c + kc) c
    double c[kMaxLaneAsphereTerms];
    double g[kMaxLaneAsphereTerms];
};

inline void load_lane(Lanes& L, int j, const RayRecord& r) {
    L.x[j] = r.x;
    L.y[j] = r.y;
    L.z[j] = r.z;
    L.k[j] = r.k;
    L.l[j] = r.l;
    L.m[j] = r.m;
    L.dist[j] = r.dist;
    L.opl[j] = r.opl;
    L.chrom_opl[j] = r.chrom_opl;
    L.nx[j] = r.nx;
    L.ny[j] = r.ny;
    L.nz[j] = r.nz;
    L.normal_len2[j] = r.normal_len2;
    L.cos_i[j] = r.cos_i;
    L.gamma[j] = r.gamma;
}

// The record takes lane j's point, direction and path lengths.
inline void store_lane_path(const Lanes& L, int j, RayRecord& r) {
    r.x = L.x[j];
    r.y = L.y[j];
    r.z = L.z[j];
    r.k = L.k[j];
    r.l = L.l[j];
    r.m = L.m[j];
    r.dist = L.dist[j];
    r.opl = L.opl[j];
    r.chrom_opl = L.chrom_opl[j];
}

// The record takes lane j's state (as RayState::store), raw its raw direction and factor.
inline void store_lane(const Lanes& L, const Shared& sh, int j, RayRecord& r, double* raw) {
    store_lane_path(L, j, r);
    r.nx = L.nx[j];
    r.ny = L.ny[j];
    r.nz = L.nz[j];
    r.normal_len2 = L.normal_len2[j];
    r.cos_i = L.cos_i[j];
    r.gamma = L.gamma[j];
    r.medium = sh.medium;
    r.prev_medium = sh.prev_medium;
    r.alt_medium = sh.alt_medium;
    r.prev_alt_medium = sh.prev_alt_medium;
    r.surface = sh.surface;
    r.reversed = sh.reversed;
    raw[0] = L.rk[j];
    raw[1] = L.rl[j];
    raw[2] = L.rm[j];
    raw[3] = L.f[j];
}

// The record takes lane j's start (the fields the set-up in lanes gives every ray; the rest of
// the record is already the set-up's), raw the unit direction.
inline void store_start_lane(const Lanes& L, int j, RayRecord& r, double* raw) {
    store_lane_path(L, j, r);
    raw[0] = L.k[j];
    raw[1] = L.l[j];
    raw[2] = L.m[j];
    raw[3] = 1.0;
}

[[gnu::always_inline]] inline void raw_is_unit_direction(Lanes& L) {
    L.rk = L.k;
    L.rl = L.l;
    L.rm = L.m;
    L.f = splat(1.0);
}

// The Newton iteration of the even asphere from the closed-form start (x, y, z after a total
// step D along k, l, m; O holding the start's normal and cosine), as intersect_general_surface
// runs it, lane by lane: a lane stops iterating when its step is below the tolerance, and leaves
// where the scalar iteration would retreat or fail.
[[gnu::always_inline]] inline M newton_even_asphere(const AsphereTerms& a, double c, V k, V l, V m,
                                                    Lanes& O, V& x, V& y, V& z, V& D, M todo) {
    M leave = splat_mask(0);
    V nx = O.nx, ny = O.ny, cos_i = O.cos_i;
    for (int steps = 0;;) {
        const V rad2 = x * x + y * y;
        const V sa = rad2 * a.aa;
        const V q = 1.0 - sa;
        const M outside = not_above(q, splat(0.0)) & todo;
        leave |= outside;
        todo &= ~outside;
        V A = splat(0.0);
        for (int i = a.count - 1; i >= 0; --i) A = A * rad2 + a.c[i];
        V G = splat(0.0);
        for (int i = a.count - 1; i >= 1; --i) G = G * rad2 + a.g[i];
        const V tnx = -G * x, tny = -G * y;
        const V sq = lane_root(q);
        const V zs = c * rad2 / (1.0 + sq) + A;
        const V nxs = -(c / sq) * x + tnx;
        const V nys = -(c / sq) * y + tny;
        nx = select(todo, nxs, nx);
        ny = select(todo, nys, ny);
        const V ci = nxs * k + nys * l + m;
        cos_i = select(todo, ci, cos_i);
        const M flat = (magnitude(ci) < kConvergenceFine) & todo;
        leave |= flat;
        todo &= ~flat;
        const V t = (zs - z) / ci;
        x = select(todo, x + t * k, x);
        y = select(todo, y + t * l, y);
        z = select(todo, z + t * m, z);
        D = select(todo, D + t, D);
        todo &= not_below(magnitude(t), splat(kConvergenceFine));
        if (!any(todo)) break;
        if (++steps >= kMaxNewtonSteps) {
            leave |= todo;
            break;
        }
    }
    O.nx = nx;
    O.ny = ny;
    O.nz = splat(1.0);
    O.normal_len2 = nx * nx + ny * ny + 1.0;
    O.cos_i = cos_i;
    return leave;
}

// The lanes that cannot take surface n the usual way: all of them.
inline M all_leave() {
    return splat_mask(-1);
}

// The lanes' direction as the last bending left it: the raw one after a marked plain surface
// (run), the unit one otherwise.
[[gnu::always_inline]] inline void direction_in(const Lanes& I, bool run, V& rk, V& rl, V& rm,
                                                V& f) {
    if (run) {
        rk = I.rk;
        rl = I.rl;
        rm = I.rm;
        f = I.f;
    } else {
        rk = I.k;
        rl = I.l;
        rm = I.m;
        f = splat(1.0);
    }
}

// How the lanes bend at a surface: not at all (the image), in a medium of the same index, by
// refraction, by reflection at a surface that only reflects totally, or by a mirror.
enum class Bending { kNone, kSameIndex, kRefract, kTotalOnly, kMirror };

// A surface as every register's lanes take it: what the scalar step decides from the surface,
// the media and the wavelength alone, formed once per surface.
struct SurfaceStep {
    int n;
    bool run;      // it continues a run of marked plain surfaces (the quadratic takes the raw
                   // direction); otherwise the scalar trace steps it alone, from the unit one
    bool special;  // its special apertures are checked, as the full surface step does
    const AsphereTerms* asphere;  // the even asphere's terms, or null
    bool shift;                   // the thickness before it is subtracted (n >= 2)
    bool at_image;                // and then the image thickness
    double c, kc;                 // curvature and conic term, for the choices of the step
    bool alternate;
    bool chromatic;
    bool first;  // surface 1 adds the set-up length
    bool aperture;
    Bending bending;
    bool stop;  // every lane leaves at it
    // The numbers the lanes take, in every lane: formed once here, where each register would
    // form them again for every use. index: of the medium before the surface, at the
    // wavelength; limit2: the squared aperture limit.
    struct {
        V c, neg_c, kc, thickness, image_thickness, index, chromatic_index, limit2, mu;
    } v;
};

// The surface step for surface n (after the surface whose thickness is thickness), and the
// media and way of the lanes after it in sh, as the scalar step leaves them.
[[gnu::always_inline]] inline void prepare_surface(SurfaceStep& ss, const SurfaceRecord& s, int n,
                                                   const Fixed& fx, bool run,
                                                   const AsphereTerms* asphere, double thickness,
                                                   Shared& sh) {
    ss.n = n;
    ss.run = run;
    ss.special = !run && fx.check_apertures && s.special_aperture_count > 0;
    ss.asphere = asphere;
    ss.shift = n >= 2;
    ss.at_image = n == fx.image;
    ss.v.thickness = splat(thickness);
    ss.v.image_thickness = splat(fx.image_thickness);
    ss.c = s.curvature;
    ss.kc = s.conic != 0.0 ? s.conic * ss.c : 0.0;
    ss.v.c = splat(ss.c);
    ss.v.neg_c = splat(-ss.c);
    ss.v.kc = splat(ss.kc);
    ss.alternate = (sh.reversed != 0) != (s.alternate_intersection != 0);
    ss.stop = false;
    sh.surface = n;
    sh.prev_medium = sh.medium;
    sh.prev_alt_medium = sh.alt_medium;
    const double* index = sh.medium;
    ss.v.index = splat(index[fx.wavelength]);
    ss.chromatic = fx.wavelength_count > 2;
    ss.v.chromatic_index = splat(ss.chromatic ? index[1] - index[2] : 0.0);
    ss.first = n == 1;
    ss.aperture = fx.check_apertures && s.aperture_check;
    const double limit = s.aperture_radius * kApertureSlack;
    ss.v.limit2 = splat(limit * limit);
    if (ss.special && trace_seams().check_special_apertures == nullptr) ss.stop = true;
    ss.v.mu = splat(1.0);
    ss.bending = Bending::kNone;
    if (n >= fx.image) return;
    const double* next = s.index;
    if (s.medium_kind == kMediumMirror) {
        ss.bending = Bending::kMirror;
        sh.reversed ^= 1;
        return;
    }
    if (next == nullptr || sh.prev_medium == nullptr) {
        ss.stop = true;
        return;
    }
    const int w = fx.wavelength;
    const double n_in = sh.prev_medium[w];
    const double n_out = next[w];
    if (n_in == n_out) {
        ss.bending = Bending::kSameIndex;
        sh.medium = next;
        sh.alt_medium = nullptr;
        return;
    }
    if (!(std::fabs(n_out) >= kZeroDenominator)) {
        ss.stop = true;
        return;
    }
    ss.v.mu = splat(n_in / n_out);
    if (!s.tir_only) {
        ss.bending = Bending::kRefract;
        sh.medium = next;
        sh.alt_medium = nullptr;
    } else {
        ss.bending = Bending::kTotalOnly;
        sh.reversed ^= 1;
    }
}

// One surface for one register's lanes, in two halves: meet_surface from their state I at the
// surface before to their point O on the surface with its normal, path lengths and apertures;
// bend_at_surface their bending there into the medium behind. The state before stays in I for
// the lanes that leave, so that no copy of it is made on every surface. Each half gives the
// lanes that leave at this surface.
[[gnu::always_inline]] inline M meet_surface(const SurfaceStep& ss, const Lanes& I, Lanes& O,
                                             M active) {
    V rk, rl, rm, rf;
    direction_in(I, ss.run, rk, rl, rm, rf);
    const double c = ss.c;
    const double kc = ss.kc;
    const V k = I.k, l = I.l, m = I.m;
    V x = I.x, y = I.y, z = I.z;
    if (ss.shift) {
        z -= ss.v.thickness;
        if (ss.at_image) z -= ss.v.image_thickness;
    }
    M leave = splat_mask(0);
    V t;
    if (c == 0.0) {
        // A ray parallel to the plane misses it quietly, or lies in it.
        leave |= magnitude(m) < kParallelToPlane;
        t = -z / m;
        O.cos_i = m;
        x += t * k;
        y += t * l;
        z += t * m;
        O.nx = splat(0.0);
        O.ny = splat(0.0);
        O.nz = splat(1.0);
        O.normal_len2 = splat(1.0);
    } else {
        const V vc = ss.v.c, vkc = ss.v.kc;
        V qa = vc;
        V qb = rf * (rm - vc * (rk * x + rl * y + rm * z));
        V qc = vc * (x * x + y * y + z * z) - 2.0 * z;
        if (kc != 0.0) {
            qa += vkc * m * m;
            qb -= vkc * z * m;
            qc += vkc * z * z;
        }
        const V disc = qb * qb - qa * qc;
        leave |= not_at_least(disc, splat(kDiscriminantZero));
        V root = lane_root(disc);
        if (ss.alternate) root = -root;
        const V sum = qb + root;
        // The root C / (B + s) is the usual one; the other form is left to the scalar step.
        leave |= not_above(magnitude(sum), magnitude(qa));
        t = qc / sum;
        O.cos_i = root;
        x += t * k;
        y += t * l;
        z += t * m;
        const V nx = ss.v.neg_c * x, ny = ss.v.neg_c * y, nz = 1.0 - vc * z - vkc * z;
        O.nx = nx;
        O.ny = ny;
        O.nz = nz;
        O.normal_len2 = kc == 0.0 ? splat(1.0) : nx * nx + ny * ny + nz * nz;
    }
    V D = t;
    if (ss.asphere != nullptr)
        leave |= newton_even_asphere(*ss.asphere, c, k, l, m, O, x, y, z, D, active & ~leave);
    O.x = x;
    O.y = y;
    O.z = z;
    O.opl = I.opl + D * ss.v.index;
    // Without the chromatic path, both buffers keep the start's (see start_group).
    if (ss.chromatic) O.chrom_opl = I.chrom_opl + ss.v.chromatic_index * D;
    O.dist = ss.first ? D + I.dist : D;

    if (ss.aperture) leave |= x * x + y * y > ss.v.limit2;
    if (ss.special) {
        int (*check)(int, double, double) = trace_seams().check_special_apertures;
        const int bits = lane_bits(active & ~leave);
        for (int j = 0; j < kWidth; ++j) {
            if ((bits >> j & 1) != 0 && check(ss.n, x[j], y[j]) != kSpecialPass)
                leave |= one_lane(j);
        }
    }
    return leave;
}

[[gnu::always_inline]] inline M bend_at_surface(const SurfaceStep& ss, const Lanes& I, Lanes& O) {
    const V k = I.k, l = I.l, m = I.m;
    if (ss.bending == Bending::kNone) {
        O.k = k;
        O.l = l;
        O.m = m;
        O.gamma = I.gamma;
        // The direction the surface was met with, as the quadratic took it.
        direction_in(I, ss.run, O.rk, O.rl, O.rm, O.f);
        return splat_mask(0);
    }

    // The bending into the medium behind the surface.
    M leave = splat_mask(0);
    const V n2 = O.normal_len2;
    leave |= (n2 != 1.0) & not_at_least(n2, splat(kZeroDenominator));
    V dk = k, dl = l, dm = m;
    if (ss.bending == Bending::kSameIndex) {
        O.gamma = splat(0.0);
        O.k = k;
        O.l = l;
        O.m = m;
        O.rk = dk;
        O.rl = dl;
        O.rm = dm;
        O.f = splat(1.0);
        return leave;
    }
    bool reflect = ss.bending == Bending::kMirror;
    if (!reflect) {
        const V mu = ss.v.mu;
        const V cos_i = O.cos_i;
        const V disc = (cos_i * cos_i - n2) * mu * mu + n2;
        const M total = not_at_least(disc, splat(kDiscriminantZero));
        if (ss.bending == Bending::kRefract) {
            // Total internal reflection fails the ray.
            leave |= total;
            const V root = negate_where(mu * cos_i < 0.0, lane_root(disc));
            const V gamma = divide_unless_one(root - mu * cos_i, n2);
            dk = mu * dk + gamma * O.nx;
            dl = mu * dl + gamma * O.ny;
            dm = mu * dm + gamma * O.nz;
            O.gamma = gamma;
        } else {
            // A surface that only reflects totally: a ray that refracts fails there.
            leave |= ~total;
            reflect = true;
        }
    }
    if (reflect) {
        const V gamma = divide_unless_one(2.0 * O.cos_i, n2);
        dk -= gamma * O.nx;
        dl -= gamma * O.ny;
        dm -= gamma * O.nz;
        O.gamma = gamma;
    }
    const V e = 1.0 - (dk * dk + dl * dl + dm * dm);
    const V f = 1.0 + 0.5 * e;
    O.rk = dk;
    O.rl = dl;
    O.rm = dm;
    O.f = f;
    O.k = dk * f;
    O.l = dl * f;
    O.m = dm * f;
    return leave;
}

enum class LaneSurface { kNone, kRun, kAlone, kEvenAsphere };

// How the scalar trace takes surface n, seen from the lanes: as part of a plain run, alone
// through a step whose arithmetic the lanes repeat, or by means the lanes do not cover.
inline LaneSurface lane_surface_kind(const SurfaceRecord& ns) {
    if (ns.plain_mark == kPlainSurface) return LaneSurface::kRun;
    if (ns.plain_mark == kPlainUnknown && surface_is_plain(ns)) return LaneSurface::kAlone;
    if (ns.decentre != nullptr || ns.toric != 0 || ns.fresnel || ns.start_pair ||
        ns.shape == kShapeSpecialBase || ns.spline != nullptr ||
        ns.unsupported_records[0] != nullptr || ns.unsupported_records[1] != nullptr ||
        ns.unsupported_records[2] != nullptr || ns.grin != nullptr || ns.grating_spacing != 0.0 ||
        ns.diffractive != nullptr || ns.hologram != nullptr || ns.perfect_lens != nullptr) {
        return LaneSurface::kNone;
    }
    if (ns.asphere == nullptr) return LaneSurface::kAlone;
    const AsphereRecord& a = *ns.asphere;
    const int count = a.working != nullptr && a.working_count > 0 ? a.working_count : 0;
    if (a.kind != kAsphereEven || count > kMaxLaneAsphereTerms ||
        trace_seams().intersect_general_surface != intersect_general_surface) {
        return LaneSurface::kNone;
    }
    return LaneSurface::kEvenAsphere;
}

inline void even_asphere_terms(const SurfaceRecord& s, AsphereTerms& a) {
    const AsphereRecord& r = *s.asphere;
    a.count = r.working != nullptr && r.working_count > 0 ? r.working_count : 0;
    const double c = s.curvature;
    const double kc = s.conic != 0.0 ? s.conic * c : 0.0;
    a.aa = (c + kc) * c;
    for (int k = 0; k < a.count; ++k) {
        a.c[k] = r.working[k];
        a.g[k] = 2.0 * k * r.working[k];
    }
}

// Whether the scalar trace goes from surface i to i + 1 by the plain surface-to-surface transfer
// alone: no edge wall or SKP link ahead, no return of coordinates or repeated tilt behind.
inline bool plain_transfer(int i, const SurfaceRecord* surfaces) {
    const SurfaceRecord& s = surfaces[i];
    const int next = i + 1;
    const SurfaceRecord& ns = surfaces[next];
    if (ns.edge || ns.skip_to > next) return false;
    return next < 2 ||
           (s.return_coordinates == nullptr && !(s.second_tilt && s.decentre != nullptr));
}

// One register's worth of rays on their way through the lanes: the state before a surface and
// the state on it take turns in the two buffers (which one is current, and the media and way
// of the rays, the registers on their way together share: see Walk).
struct Group {
    Lanes buffers[2];
    M active;
    RayRecord* const* rays;
    double (*raw)[4];
    int count;
    // The state before the next surface is the start the set-up left in lanes, and the records
    // hold the rest (their normal, cosine and bending): a ray leaving there takes the start.
    bool fresh = false;
};

// The registers on their way through the same surfaces together, with what they share.
struct Walk {
    Group groups[kLaneRegisters];
    Shared sh;
    int current = 0;
};

[[gnu::always_inline]] inline Shared shared_of(const RayRecord& first) {
    return Shared{first.medium,          first.prev_medium, first.alt_medium,
                  first.prev_alt_medium, first.surface,     first.reversed};
}

[[gnu::always_inline]] inline void start_group(Group& g, RayRecord* const* rays, int count,
                                               double (*raw)[4]) {
    g.rays = rays;
    g.raw = raw;
    g.count = count;
    for (int j = 0; j < kWidth; ++j) load_lane(g.buffers[0], j, *rays[j < count ? j : 0]);
    raw_is_unit_direction(g.buffers[0]);
    g.buffers[1].chrom_opl = g.buffers[0].chrom_opl;
    g.active = lanes_below(count);
}

// The group's lanes that leave at a surface, stored as they stood before it (with the media
// and way before), are masked from there on; after: their state on it.
[[gnu::always_inline]] inline void settle_group(Group& g, M leave, const Shared& before,
                                                const Lanes& state_before, Lanes& after, bool run) {
    leave &= g.active;
    if (!run) raw_is_unit_direction(after);
    if (any(leave)) {
        const int bits = lane_bits(leave);
        for (int j = 0; j < g.count; ++j) {
            if ((bits >> j & 1) == 0) continue;
            if (g.fresh) {
                store_start_lane(state_before, j, *g.rays[j], g.raw[j]);
            } else {
                store_lane(state_before, before, j, *g.rays[j], g.raw[j]);
            }
        }
        g.active &= ~leave;
    }
    g.fresh = false;
}

[[gnu::always_inline]] inline void finish_group(const Group& g, const Walk& w) {
    const int bits = lane_bits(g.active);
    for (int j = 0; j < g.count; ++j) {
        if ((bits >> j & 1) != 0) store_lane(g.buffers[w.current], w.sh, j, *g.rays[j], g.raw[j]);
    }
}

// What the trace of a lane group takes from its first ray and the lens.
inline Fixed fixed_for(const RayRecord& first) {
    const LensData& lens = lens_data();
    Fixed fx{};
    fx.image = lens.image_surface;
    fx.wavelength = first.wavelength;
    fx.wavelength_count = lens.wavelength_count;
    fx.check_apertures = first.check_apertures != 0;
    fx.image_thickness = lens.afocal ? 0.0 : surface_array()[fx.image].thickness;
    return fx;
}

// Steps the walk's groups from surface `from` towards last. The number of ray-surfaces they
// took.
//
// Each surface is a chain of square roots and divisions, each waiting for the last. The groups
// take each half of a surface's step in turn, so that the processor holds the other groups'
// work while one waits.
[[gnu::always_inline]] inline int walk_surfaces(Walk& w, int from, int last, const Fixed& fx) {
    const SurfaceRecord* const surfaces = surface_array();
    Group* const groups = w.groups;
    int taken = 0;
    AsphereTerms terms;
    M leave[kLaneRegisters]{};
    auto any_active = [&]() {
        M all = groups[0].active;
        for (int q = 1; q < kLaneRegisters; ++q) all |= groups[q].active;
        return any(all);
    };
    for (int i = from; i < last && any_active(); ++i) {
        if (!plain_transfer(i, surfaces)) break;
        const int n = i + 1;
        const SurfaceRecord& ns = surfaces[n];
        const LaneSurface kind = lane_surface_kind(ns);
        if (kind == LaneSurface::kNone) break;
        const bool asphere = kind == LaneSurface::kEvenAsphere;
        if (asphere) even_asphere_terms(ns, terms);
        const bool run = kind == LaneSurface::kRun;
        const Shared before = w.sh;
        SurfaceStep ss;
        prepare_surface(ss, ns, n, fx, run, asphere ? &terms : nullptr, surfaces[i].thickness,
                        w.sh);
        const int cur = w.current;
        bool go[kLaneRegisters];
#pragma GCC unroll kLaneRegisters
        for (int q = 0; q < kLaneRegisters; ++q) {
            go[q] = any(groups[q].active);
            if (go[q] && !ss.stop) {
                leave[q] = meet_surface(ss, groups[q].buffers[cur], groups[q].buffers[cur ^ 1],
                                        groups[q].active);
            }
        }
#pragma GCC unroll kLaneRegisters
        for (int q = 0; q < kLaneRegisters; ++q) {
            if (!go[q]) continue;
            Group& g = groups[q];
            if (ss.stop) {
                leave[q] = all_leave();
            } else {
                leave[q] |= bend_at_surface(ss, g.buffers[cur], g.buffers[cur ^ 1]);
            }
            settle_group(g, leave[q], before, g.buffers[cur], g.buffers[cur ^ 1], run);
        }
        w.current = cur ^ 1;
#pragma GCC unroll kLaneRegisters
        for (int q = 0; q < kLaneRegisters; ++q) taken += lanes_set(lane_bits(groups[q].active));
    }
    return taken;
}

// The lanes of rays[0 .. count) (at most kMaxLanes) from their surface towards last. Each
// record is left where its lane stopped (at last, or before the surface where it left) with its
// raw direction in raw. The number of ray-surfaces the lanes took.
int run_lanes(RayRecord* const* rays, int count, int last, double (*raw)[4]) {
    const RayRecord& first = *rays[0];
    const Fixed fx = fixed_for(first);
    Walk w;
    w.sh = shared_of(first);
    for (int q = 0; q < kLaneRegisters; ++q) {
        Group& g = w.groups[q];
        const int base = q * kWidth;
        if (base < count) {
            start_group(g, rays + base, count - base < kWidth ? count - base : kWidth, raw + base);
        } else {
            g.active = splat_mask(0);
            g.count = 0;
        }
    }
    const int taken = walk_surfaces(w, first.surface, last, fx);
    for (int q = 0; q < kLaneRegisters; ++q) {
        if (w.groups[q].count > 0) finish_group(w.groups[q], w);
    }
    return taken;
}

[[gnu::always_inline]] inline V load(const double* p) {
    V v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}
[[gnu::always_inline]] inline M load_mask(const std::int64_t* p) {
    M v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}
[[gnu::always_inline]] inline void store(double* p, V v) {
    __builtin_memcpy(p, &v, sizeof v);
}

// The set-up of setup_ray_at_object (place_object_point, setup_ordinary_pupil,
// finish_start_path) for a flat object surface without decentre, lane by lane in its order.
int start_lanes(LaneStarts& s) {
    int short_distance = 0;
    const double H = s.object_height, th0 = s.th0, p1 = s.chief_height, epr = s.pupil_height;
    for (int base = 0; base < s.count; base += kWidth) {
        const V ox = load(s.obj_x + base), oy = load(s.obj_y + base), oz = load(s.obj_z + base);
        const V x0 = H * ox, y0 = H * oy, z0 = H * oz;
        const V d = th0 - z0;
        short_distance |= (lane_bits(not_at_least(magnitude(d), splat(kZeroDenominator))) &
                           lane_bits(lanes_below(s.count - base)))
                          << base;
        const V h = 1.0 / d;
        V xt = p1 * ox + epr * load(s.pup_x + base);
        V yt = p1 * oy + epr * load(s.pup_y + base);
        const M centred = load_mask(s.centred + base);
        xt = select(centred, xt + epr * s.ref_pup_x, xt);
        yt = select(centred, yt + epr * s.ref_pup_y, yt);
        const V X0 = -h * x0, X1 = h * xt + X0;
        const V Y0 = -h * y0, Y1 = h * yt + Y0;
        const V root1 = lane_root(X1 * X1 + Y1 * Y1 + 1.0);
        V m = 1.0 / root1;
        V dist = ((X1 + X0) * xt + (Y1 + Y0) * yt) / (lane_root(X0 * X0 + Y0 * Y0 + 1.0) + root1);
        const M flip = th0 < 0.0 ? not_below(d, splat(0.0)) : (d < 0.0);
        m = negate_where(flip, m);
        dist = negate_where(flip, dist);
        store(s.x0 + base, x0);
        store(s.y0 + base, y0);
        store(s.z0 + base, z0);
        store(s.h + base, h);
        store(s.x + base, xt);
        store(s.y + base, yt);
        store(s.k + base, X1 * m);
        store(s.l + base, Y1 * m);
        store(s.m + base, m);
        store(s.dist + base, dist);
        store(s.opl + base, load(s.index + base) * dist);
        store(s.chrom_opl + base, s.chromatic ? load(s.chromatic_index + base) * dist : splat(0.0));
    }
    return short_distance;
}

// The differences of one register's rays from the reference ray, as errors_vs_reference forms
// them with the reference sphere, in its order; below: the lanes that missed the sphere.
struct LaneDifference {
    V dx, dy, dz, dtan_x, dtan_y, sphere_path, opd, chrom_difference;
    M below;
};

[[gnu::always_inline]] inline LaneDifference lane_difference(const LaneDifferences& d, V x, V y,
                                                             V z, V k, V l, V m, V opl, V chrom_opl,
                                                             V n, V ci, V scale) {
    LaneDifference o;
    const double r = d.radius;
    const V dx = x - d.ref_x, dy = y - d.ref_y, dz = z - d.ref_z;
    o.dx = dx;
    o.dy = dy;
    o.dz = dz;
    const M usable = (magnitude(m) >= kZeroDenominator) & splat_mask(d.ref_m_usable ? -1 : 0);
    const V reciprocal_m = 1.0 / m;
    const V infinite = splat(kInfiniteDistance);
    o.dtan_x = select(usable, k * reciprocal_m - d.ref_tan_x, infinite);
    o.dtan_y = select(usable, l * reciprocal_m - d.ref_tan_y, infinite);
    o.below = splat_mask(0);
    V p;
    if (d.afocal) {
        p = d.ref_k * dx + d.ref_l * dy + d.ref_m * dz;
    } else {
        const V q = k * dx + l * dy + m * dz;
        p = q;
        if (d.sphere) {
            const V s2 = dx * dx + dy * dy + dz * dz;
            V e = r * r - (s2 - q * q);
            o.below = e < 0.0;
            e = select(o.below, splat(r * r), e);
            p -= r >= 0.0 ? r - lane_root(e) : r + lane_root(e);
        }
    }
    o.sphere_path = p * n;
    o.opd = (p * n + d.ref_opl - opl) * scale;
    o.chrom_difference = d.chromatic ? (ci * p + d.ref_chrom_opl - chrom_opl) * scale : chrom_opl;
    return o;
}

// errors_vs_reference with the reference sphere, lane by lane in its order.
bool difference_lanes(LaneDifferences& d) {
    M missed = splat_mask(0);
    for (int base = 0; base < d.count; base += kWidth) {
        const LaneDifference o = lane_difference(
            d, load(d.x + base), load(d.y + base), load(d.z + base), load(d.k + base),
            load(d.l + base), load(d.m + base), load(d.opl + base), load(d.chrom_opl + base),
            load(d.index + base), load(d.chromatic_index + base), load(d.scale + base));
        missed |= o.below & lanes_below(d.count - base);
        store(d.dx + base, o.dx);
        store(d.dy + base, o.dy);
        store(d.dz + base, o.dz);
        store(d.dtan_x + base, o.dtan_x);
        store(d.dtan_y + base, o.dtan_y);
        store(d.sphere_path + base, o.sphere_path);
        store(d.opd + base, o.opd);
        if (d.chromatic) store(d.chrom_difference + base, o.chrom_difference);
    }
    return any(missed);
}

// A group started in lanes (start_group_at) on its way: the lanes that reached last keep their
// state and, where measured (one bit each, lane 0 lowest), their differences in their records;
// the rest are stored as finish_group stores them. The lanes whose differences were formed.
[[gnu::always_inline]] inline int finish_started_group(const Group& g, const Walk& w, int last,
                                                       const Fixed& fx, const LaneDifferences& d,
                                                       int base, int measured, M& missed) {
    if (w.sh.surface != last) {
        finish_group(g, w);
        return 0;
    }
    const Lanes& F = g.buffers[w.current];
    const double* prev = w.sh.prev_medium;
    const V n = splat(prev[fx.wavelength]);
    const V ci = splat(d.chromatic ? prev[1] - prev[2] : 0.0);
    const LaneDifference o = lane_difference(d, F.x, F.y, F.z, F.k, F.l, F.m, F.opl, F.chrom_opl, n,
                                             ci, load(d.scale + base));
    const int bits = lane_bits(g.active);
    const int done = bits & (measured >> base);
    missed |= o.below & (((splat_mask(done) >> lane_numbers()) & 1) != 0);
    for (int j = 0; j < g.count; ++j) {
        if ((bits >> j & 1) == 0) continue;
        RayRecord& r = *g.rays[j];
        store_lane(F, w.sh, j, r, g.raw[j]);
        if ((done >> j & 1) == 0) continue;
        r.dx = o.dx[j];
        r.dy = o.dy[j];
        r.dz = o.dz[j];
        r.dtan_x = o.dtan_x[j];
        r.dtan_y = o.dtan_y[j];
        if (r.kind == kRaySphere) r.sphere_path = o.sphere_path[j];
        r.opd = o.opd[j];
        if (d.chromatic) r.chrom_opl = o.chrom_difference[j];
    }
    return done << base;
}

// The group's register from the starts the set-up formed in lanes (entries base on); the rest
// of each record is the set-up's.
[[gnu::always_inline]] inline void start_group_at(Group& g, const LaneStarts& s, int base,
                                                  RayRecord* const* rays, int count,
                                                  double (*raw)[4]) {
    g.rays = rays;
    g.raw = raw;
    g.count = count;
    Lanes& L = g.buffers[0];
    L.x = load(s.x + base);
    L.y = load(s.y + base);
    L.z = splat(0.0);
    L.k = load(s.k + base);
    L.l = load(s.l + base);
    L.m = load(s.m + base);
    L.dist = load(s.dist + base);
    L.opl = load(s.opl + base);
    L.chrom_opl = load(s.chrom_opl + base);
    g.buffers[1].chrom_opl = L.chrom_opl;
    // Read only when a lane leaves before the first surface, and then taken from the record.
    L.nx = L.ny = L.nz = L.normal_len2 = L.cos_i = splat(0.0);
    L.gamma = splat(0.0);
    raw_is_unit_direction(L);
    g.active = lanes_below(count);
    g.fresh = true;
}

int run_started_lanes(RayRecord* const* rays, int count, int last, const LaneStarts& s,
                      const LaneDifferences& d, int measured, double (*raw)[4], bool& missed) {
    const Fixed fx = fixed_for(*rays[0]);
    Walk w;
    w.sh = shared_of(*rays[0]);
    for (int q = 0; q < kLaneRegisters; ++q) {
        Group& g = w.groups[q];
        const int base = q * kWidth;
        if (base < count) {
            start_group_at(g, s, base, rays + base, count - base < kWidth ? count - base : kWidth,
                           raw + base);
        } else {
            g.active = splat_mask(0);
            g.count = 0;
        }
    }
    walk_surfaces(w, 0, last, fx);
    M below = splat_mask(0);
    int done = 0;
    for (int q = 0; q < kLaneRegisters; ++q) {
        const Group& g = w.groups[q];
        if (g.count > 0)
            done |= finish_started_group(g, w, last, fx, d, q * kWidth, measured, below);
    }
    missed = any(below);
    return done;
}

}  // namespace LANE_KERNEL_NAMESPACE
