#include "trace/aberration_sums.h"

#include <cmath>

#include "lens/lens_data.h"
#include "runtime/text_output.h"
#include "trace/paraxial_trace.h"

namespace {

enum Seidel { S1 = 0, S2, S3, S4, S5 };
enum Pupil { P1 = 0, P2, P3, P5 };

double quotient(double a, double b) {
    if (std::fabs(b) < kParaxialZero) return a * kParaxialRatio;
    return a / b;
}

bool conic_or_aspheric(const SurfaceRecord& s) {
    return s.shape == kShapeConic || s.shape == kShapeAsphere;
}

// Working asphere coefficient of r^(2 slot), or 0 when the record does not hold it.
double asphere_term(const SurfaceRecord& s, int slot) {
    const AsphereRecord* a = s.asphere;
    if (a == nullptr || a->working == nullptr ||
        (a->kind != kAsphereEven && a->kind != kAsphereSeries)) {
        return 0.0;
    }
    if (a->working_count <= slot) return 0.0;
    return a->working[slot];
}

void chromatic(ParaxialState& p) {
    p.dp_prev = p.dp;
    p.ds_prev = p.ds;
    if (lens_data().wavelength_count >= 3 && surface(p.surface).index != nullptr) {
        const double* n = surface(p.surface).index;
        p.dp = (n[1] - n[2]) * p.sign;
        p.ds = (n[1] - n[0]) * p.sign;
    } else {
        p.dp = 0;
        p.ds = 0;
    }
    const double a = p.dp_prev - p.r * p.dp;
    const double b = p.ds_prev - p.r * p.ds;
    p.chroma[0] = p.i * p.y * a;     // CL
    p.chroma[1] = p.i * p.y * b;     // CL2
    p.chroma[2] = p.ibar * p.y * a;  // CT
    p.chroma[3] = p.ibar * p.y * b;  // CT2
    for (int k = 0; k < 4; ++k) p.chroma_sum[k] += p.chroma[k];
}

void seidel(ParaxialState& p) {
    const double i = p.i, ib = p.ibar, y = p.y, yb = p.ybar;
    const double k = (p.u_after + i) * y * p.r_minus_1 * p.n_prev;
    const double kb = (p.ubar_after + ib) * yb * p.r_minus_1 * p.n_prev;
    const double j = p.lagrange * p.r_minus_1;
    p.k_axial = k;
    p.k_chief = kb;
    p.j_factor = j;
    double* s = p.seidel;
    double* q = p.pupil;
    s[S1] = i * i * k;
    s[S2] = i * ib * k;
    s[S3] = ib * ib * k;
    s[S4] = quotient(p.c * p.lagrange * j, p.n_prev);
    s[S5] = (p.ubar + p.ubar_after) * ib * j + i * ib * kb;
    q[P1] = ib * ib * kb;
    q[P2] = i * ib * kb;
    q[P3] = i * i * kb;
    q[P5] = i * ib * k - (p.u + p.u_after) * i * j;

    const SurfaceRecord& surf = surface(p.surface);
    p.aspheric = conic_or_aspheric(surf);
    if (p.aspheric) {
        p.conic = surf.conic;
        p.a4 = asphere_term(surf, 2);
        p.a6 = asphere_term(surf, 3);
        p.a8 = asphere_term(surf, 4);
        p.g = 8 * p.a4 + p.conic * p.c * p.c * p.c;
        p.delta = p.dn * p.g;
        const double d = p.delta;
        p.y4d = y * y * y * y * d;
        p.y3yb_d = y * y * y * yb * d;
        p.y2yb2_d = y * y * yb * yb * d;
        p.y_yb3_d = y * yb * yb * yb * d;
        p.yb4_d = yb * yb * yb * yb * d;
        s[S1] += p.y4d;
        s[S2] += p.y3yb_d;
        s[S3] += p.y2yb2_d;
        s[S5] += p.y_yb3_d;
        q[P1] += p.yb4_d;
        q[P2] += p.y_yb3_d;
        q[P3] += p.y2yb2_d;
        q[P5] += p.y3yb_d;
    }
    for (int n = 0; n < 5; ++n) {
        p.seidel_prev[n] = p.seidel_sum[n];
        p.seidel_sum[n] += s[n];
    }
    for (int n = 0; n < 4; ++n) {
        p.pupil_prev[n] = p.pupil_sum[n];
        p.pupil_sum[n] += q[n];
    }
}

}  // namespace

void paraxial_row_enabled() {
    ParaxialState& p = paraxial_state();
    const int j = p.surface;
    if (j > p.first && j >= 1 && j <= p.last && medium_index(j - 1, 0) == 1.0) text_newline();
    p.row_enabled = p.first <= j && j <= p.last ? 1 : 0;
}

void paraxial_aberrations() {
    ParaxialState& p = paraxial_state();
    chromatic(p);
    if (p.listing_kind < kListingSeidel) return;
    seidel(p);
    if (p.listing_kind >= kListingFifthParts) fifth_order_aberrations();
}

void fifth_order_aberrations() {
    ParaxialState& p = paraxial_state();
    const double i = p.i, ib = p.ibar, u = p.u, ub = p.ubar, y = p.y, yb = p.ybar;
    const double up = p.u_after, ubp = p.ubar_after, ip = p.i_after, ibp = p.ibar_after;
    const double k = p.k_axial;
    // A zero Lagrange invariant leaves the induced parts undefined; the listing shows them so.
    const double h1 = p.lagrange_zero ? 0.0 : p.lagrange_inverse;
    const double h2 = 0.5 * h1;
    p.sn = p.n_prev;
    const double* s = p.seidel;
    const double* q = p.pupil;
    const double s1 = s[S1], s2 = s[S2], s3 = s[S3], s4 = s[S4], s5 = s[S5];
    const double p3 = q[P3], p5 = q[P5];
    const double s1m = p.seidel_prev[S1], s2m = p.seidel_prev[S2], s3m = p.seidel_prev[S3];
    const double s4m = p.seidel_prev[S4], s5m = p.seidel_prev[S5];
    const double p1m = p.pupil_prev[P1], p2m = p.pupil_prev[P2], p3m = p.pupil_prev[P3];
    const double p5m = p.pupil_prev[P5];
    double* in = p.intrinsic;
    double* de = p.induced;
    double* t = p.total;

    const double w1 = ((u + ip) * (ip - u) + (up - u) * (u - i)) * 0.25;
    const double w2 = (up * (up + up) + i * ip * 3) - u * u * 3;
    const double w3 = (ubp * (up + up) + ibp * i * 3) - ub * u * 3;
    const double w4 = (ib * ibp * 3 + (ubp + ubp) * ubp) - ub * ub * 3;
    const double w5 = (u * 3 - up) * i;
    const double w6 = ub * i + ((u + u) - up) * ib;
    const double w7 = (ub * 3 - ubp) * ib;
    const double w8 = (ub + ubp) * y;
    const double w9 = (ib - ub) * yb;
    const double w10 = w9 * i + w8 * ib;
    const double w11 = w9 * u - w8 * ibp;
    const double w12 = p.sn * p.r_minus_1 * 0.125;
    const double w13 = k * i * w1 * 1.5;
    const double w14 = (((i * w3 + ib * w2) - ubp * w5) - up * w6) * k * 0.25;
    double x = (w10 * w2 + w11 * w5 + (i * w4 - up * w7) * (i + up) * y) * w12;
    const double w15 = (ib * w3 - ubp * w6) * k * 0.5;
    const double w16 = (w12 + w12) * (w10 * w3 + w11 * w6 + (ib * w4 - ubp * w7) * (i + up) * y);
    double yy = (w10 * w4 + w11 * w7) * w12;
    const double w17 = (i - u) * y;
    const double w18 = (up + u) * yb;
    const double w19 = ((w17 * ub - w18 * ip) * w5 + (w18 * i + w17 * ib) * w2) * w12;
    const double w20 = w13 + w13;
    in[1] = w20 * i;
    de[1] = (s2 * s1m - s1 * p5m) * h1 * 1.5;
    t[1] = de[1] + in[1];
    in[3] = i * w14;
    in[2] = w20 * ib + in[3];
    de[2] = (((s3 * 4 + s4) * s1m + (s2m * 5 - p5m * 4) * s2) - (s4m + s4m + p3m * 5) * s1) * h2;
    t[2] = de[2] + in[2];
    const double w21 = s3 + s3;
    const double w22 = (s2m + s2m) - p5m;
    const double w23 = w22 * s2;
    de[3] = (((w21 + s4) * s1m + w23 + w23) - (p3m * 4 + s4m) * s1) * h2;
    t[3] = de[3] + in[3];
    in[4] = (w14 + w14) * ib;
    const double w24 = p2m * s1;
    de[4] = (((s2m * 4 - p5m) * s3 + (((s3m - p3m * 4) - s4m) - s4m) * s2 + s5 * s1m) - w24) * h1;
    t[4] = de[4] + in[4];
    x = x + x;
    in[5] = x * i;
    const double w25 = s3 + s4;
    de[5] = ((w25 * w22 + (((s3m * 3 + s4m) - p3m) - p3m) * s2 + s5 * s1m) - w24 * 3) * h2;
    t[5] = de[5] + in[5];
    const double w26 = w15 + w15;
    in[6] = w26 * i;
    de[6] = (((w21 + s4) * s2m + ((s3m - p3m) - p3m) * s2) - w24) * h1;
    de[6] = de[6] + de[6];
    t[6] = de[6] + in[6];
    x = x * ib;
    const double w27 = s5 * s2m * 3;
    const double w28 = (s5m - p2m) - p2m;
    const double w29 = p1m * s1;
    de[7] = ((w28 * s2 + (s3m - p3m) * w21 + (w27 - (p3m + s4m) * w25)) - w29) * h2;
    t[7] = de[7] + x;
    const double w30 = (s3m * 3 - p3m) + s4m;
    in[8] = w26 * ib + (w16 + w16) * i;
    const double w31 = s3 * 3 + s4;
    const double w32 = (s3m + s4m) * s3;
    de[8] = ((((w31 * w30 + w27) - w32) + (s5m - p2m * 8) * s2) - w29) * h1;
    t[8] = de[8] + in[8];
    in[9] = i * w16;
    de[9] = ((w25 * w30 + (s5m - p2m * 4) * s2 + w32 + s5 * s2m) - w29) * h2;
    t[9] = de[9] + in[9];
    in[10] = ib * w16 * 0.5;
    const double w33 = (s2 + s2) * p1m;
    const double w34 = w28 * s3;
    de[10] = ((w34 + w34 + ((s3m * 4 + s4m) * s5 - p2m * s4)) - w33) * h1 * 0.25;
    t[10] = de[10] + in[10];
    yy = yy + yy;
    in[11] = yy * i - in[10];
    de[11] =
        (((s5m + p2m) * w21 + (s5m * 4 - p2m) * s4 + ((s4m - s3m) - s3m) * s5) - w33) * h1 * 0.25;
    t[11] = de[11] + in[11];
    yy = yy * ib;
    de[12] = (s5m * s5 * 3 - w31 * p1m) * h2;
    t[12] = de[12] + yy;
    t[13] = (w19 + w19) * i + ((p3 * 3 + s4) * s1m - p5 * p5m * 3) * h2;
    in[7] = x;
    in[12] = yy;
    p.w1 = w1;
    p.w13 = w13;
    p.w14 = w14;

    if (p.aspheric) aspheric_fifth_order();

    p.t1_sum_prev = p.total_sum[1];
    p.t13_sum_prev = p.total_sum[13];
    for (int n = 1; n <= 13; ++n) p.total_sum[n] += t[n];
    if (p.listing_kind == kListingFifthParts) {
        for (int n = 1; n <= 12; ++n) {
            p.intrinsic_sum[n] += in[n];
            p.induced_sum[n] += de[n];
        }
    }
    if (p.listing_kind == kListingFifthSummary) {
        fifth_order_spherical_summary();
        p.total_sum[14] += t[14];
    }
}

void aspheric_fifth_order() {
    ParaxialState& p = paraxial_state();
    const double i = p.i, ib = p.ibar, y = p.y, yb = p.ybar, c = p.c, d = p.delta;
    const double up = p.u_after, ubp = p.ubar_after, ip = p.i_after, ibp = p.ibar_after;
    const double k = p.conic, g = p.g, r = p.r;
    double* t = p.total;
    double* in = p.intrinsic;

    const double c2 = c * c;
    const double g6 = p.a6 * 12 + (((k + 2) * k * c * c2 - g) - g) * c2 * 0.75;
    const double q1 = p.dn * g6;
    const double q2 = (r + r) - 1;
    const double q3 = ip * 0.75 + q2 * up * 0.5;
    const double q4 = quotient(p.lagrange * r, p.n);
    const double z = p.y4d * q3;
    const double q5 = y * y * y * d * q4;
    const double q6 = q3 + q3;
    const double q7 = q5 * 0.5 + q6 * p.y3yb_d;
    const double q8 = q6 * p.y2yb2_d + yb * y * y * d * q4;
    const double q9 = q6 * p.y_yb3_d + yb * yb * y * d * q4 * 1.5;
    const double q10 = p.yb4_d * q3 + yb * yb * yb * d * q4;
    const double q11 = y * q1 - (ip * 3 - up * 5) * d * c * 0.25;
    const double q12 = ((up - i) * up + (ip * 3 - up) * i) * 0.5;
    const double q13 = y * q11 + d * q12;
    const double q14 = ibp * 3 - ubp;
    const double q15 = (yb + yb) * q11 + ((ubp - ib) * up + q14 * i) * d;
    const double q16 = yb * yb * q11 + ((ubp - ib) * ubp + q14 * ib) * 0.5 * y * d;
    const double q17 = y * y * y * q13;
    const double q18 = (y * q15 * 0.5 + yb * q13) * y * y;
    const double q19 = y * y * q16 + yb * yb * y * q13;
    const double q20 = (q15 + q15) * yb * y * y;
    const double q21 = (yb * yb * q15 * 0.5 + yb * q16) * y;
    const double q22 = y * q17 + i * z;
    const double q23 = i * q7 + y * q18;
    const double q24 = yb * q17 + ib * z + q23;
    const double q25 = ib * q7 + yb * q18;
    const double q26 = q25 + q25;
    const double q27 = i * q8 + y * q19;
    const double q28 = i * (q8 + q8) + y * q20;
    const double q29 = ib * q8 + yb * q19;
    const double q30 = i * q9 + y * q21;
    const double q31 = q30 + q30 + ib * (q8 + q8) + yb * q20;
    const double q32 = (ib * q9 + yb * q21) * 0.5;
    const double q33 = (i * q10 + y * yb * yb * q16) - q32;
    const double q34 = ib * q10 + yb * yb * yb * q16;
    t[1] += q22;
    t[2] += q24;
    t[3] += q23;
    t[4] += q26;
    t[5] += q27;
    t[6] += q28;
    t[7] += q29;
    t[8] += q31;
    t[9] += q30;
    t[10] += q32;
    t[11] += q33;
    t[12] += q34;
    t[13] += ((ibp * 0.75 + q2 * ubp * 0.5) * p.y4d - q5) * i +
             (yb * d * q12 + (yb * q1 - (ibp * 3 - ubp * 5) * d * c * 0.25) * y * y) * y * y * y;
    in[1] += q22;
    in[2] += q24;
    in[3] += q23;
    in[4] += q26;
    in[5] += q27;
    in[6] += q28;
    in[7] += q29;
    in[8] += q31;
    in[9] += q30;
    in[10] += q32;
    in[11] += q33;
    in[12] += q34;
    p.z = z;
    p.g6 = g6;
}

void fifth_order_spherical_summary() {
    ParaxialState& p = paraxial_state();
    const double i = p.i, ib = p.ibar, u = p.u, y = p.y, c = p.c, r = p.r;
    const double up = p.u_after, ip = p.i_after;
    const double k = p.k_axial;
    const double h1 = p.lagrange_zero ? 0.0 : p.lagrange_inverse;
    const double h2 = 0.5 * h1;
    const double s1 = p.seidel[S1], s2 = p.seidel[S2], s3 = p.seidel[S3], s4 = p.seidel[S4];
    const double s1m = p.seidel_prev[S1], p5m = p.pupil_prev[P5];
    double t14 =
        (2 * s1m * (i * p.w14 + ib * p.w13) - 10 * p5m * i * p.w13) * h2 +
        ((p5m * p5m * h2 - p.t13_sum_prev) * 3 * s1 + (3 * s3 + s4) * s1m * s1m * h2 +
         (p.t1_sum_prev - p5m * s1m * h1) * 3 * s2) *
            h2 +
        (10 * p.w1 * p.w1 + quotient((2 * up - 5 * u) * c * k * i * 0.125, p.sn)) * k * i * i;
    if (p.aspheric) {
        const double g = p.g, g6 = p.g6, kc = p.conic;
        const double a = i + 2 * up;
        const double b = (r - 1) * r;
        const double e = 5 * u;
        const double y2 = y * y, y3 = y2 * y, y4 = y2 * y2;
        const double q =
            (4 * ip + 3 * (2 * r - 1) * up) * y2 * g6 / 6 +
            (((4 * (ip + a) + i) * ip + 3 * i * i - 10 * u * u) * r * up +
             ((2 * b + 1) * y2 * g + ((5 * a + ip) * ip + 4 * (i + u) * c * y) * c) * y) *
                g / 8;
        const double pp =
            (p.z + 2 * p.w13) * y2 * g + (g6 * y + (3 * u + i) * g * c / 4) * y3 * k * i;
        const double c2 = c * c, c3 = c2 * c;
        const double w =
            16 * p.a8 +
            (((((kc + 3) * kc + 3) * kc * c3 - 3 * g) * 5 * c2 - 12 * g6) * c2 - 6 * g * g * c) / 8;
        const double rr = g * g * y * i / 4 +
                          ((e + i) * g6 * y / 3 + ((e + i) * i - (i - e) * u) * g * c / 8) * c +
                          w * y2;
        t14 += p.dn * y4 * q * i + (pp / 2 + rr * y4 * p.dn * y) * y;
    }
    p.total[14] = t14;
}
