// Real rays for checking the aberration sums: an exact meridional trace through the spheres and
// planes of the current lens, and a least-squares fit of the transverse aberration to powers of
// the aperture. The sums are polynomial coefficients of exactly this curve, so the fit is an
// independent reference for every order the sums reach.
#pragma once

#include <cmath>
#include <vector>

#include "lens/lens_data.h"

namespace paraxial_test {

// Traces the ray that crosses the plane of surface 1's vertex at height y0 with the direction
// (dz, dy) (direction cosines in object space) through surfaces 1 .. image - 1 at wavelength
// slot 0, and returns the height where it crosses the plane image_distance behind the vertex of
// the last surface (negative: in front of it, for a virtual image).
inline double real_ray_height(double y0, double dz, double dy, double image_distance) {
    const int image = lens_data().image_surface;
    double z = 0, y = y0;  // position relative to the current vertex
    double n = surface(0).index[0];
    for (int j = 1; j <= image; ++j) {
        if (j == image) return y + (image_distance - z) * dy / dz;
        const double c = surface(j).curvature;
        // Intersection with z = c (z^2 + y^2) / 2 ... solved for the distance along the ray.
        double t;
        if (c == 0.0) {
            t = -z / dz;
        } else {
            const double b = dz - c * (z * dz + y * dy);
            const double cc = c * (z * z + y * y) - 2 * z;
            t = cc / (b + std::sqrt(b * b - c * cc));
        }
        z += t * dz;
        y += t * dy;
        const double n2 = surface(j).index[0];
        // Unit normal (pointing along +z at the vertex).
        double nz = 1 - c * z, ny = -c * y;
        const double len = std::sqrt(nz * nz + ny * ny);
        nz /= len;
        ny /= len;
        const double cos_i = dz * nz + dy * ny;
        const double mu = n / n2;
        const double cos_r = std::sqrt(1 - mu * mu * (1 - cos_i * cos_i));
        dz = mu * dz + (cos_r - mu * cos_i) * nz;
        dy = mu * dy + (cos_r - mu * cos_i) * ny;
        n = n2;
        if (j < image - 1) z -= surface(j).thickness;
    }
    return y;
}

// The same for a ray parallel to the axis at height y0, up to the lens's own image surface.
inline double real_ray_height(double y0) {
    const int last = lens_data().image_surface - 1;
    return real_ray_height(y0, 1.0, 0.0, surface(last).thickness);
}

// Least-squares fit of values(x) = sum of a_k x^powers[k]; returns the a_k in that order.
inline std::vector<double> fit_powers(const std::vector<double>& xs,
                                      const std::vector<double>& values,
                                      const std::vector<int>& powers) {
    const std::size_t m = powers.size();
    std::vector<std::vector<double>> ata(m, std::vector<double>(m, 0.0));
    std::vector<double> atb(m, 0.0);
    for (std::size_t k = 0; k < xs.size(); ++k) {
        std::vector<double> row(m);
        for (std::size_t i = 0; i < m; ++i) row[i] = std::pow(xs[k], powers[i]);
        for (std::size_t i = 0; i < m; ++i) {
            atb[i] += row[i] * values[k];
            for (std::size_t j = 0; j < m; ++j) ata[i][j] += row[i] * row[j];
        }
    }
    // Gaussian elimination (the matrix is symmetric positive definite).
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t r = i + 1; r < m; ++r) {
            const double f = ata[r][i] / ata[i][i];
            for (std::size_t c = i; c < m; ++c) ata[r][c] -= f * ata[i][c];
            atb[r] -= f * atb[i];
        }
    }
    std::vector<double> x(m);
    for (std::size_t i = m; i-- > 0;) {
        double s = atb[i];
        for (std::size_t c = i + 1; c < m; ++c) s -= ata[i][c] * x[c];
        x[i] = s / ata[i][i];
    }
    return x;
}

}  // namespace paraxial_test
