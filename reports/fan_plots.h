// Ray-intercept (759) and optical-path-difference (760) fans of the current field point: a
// meridional fan (pupil y from -1 to 1) and a sagittal fan (pupil x) of real rays for one or
// several wavelengths, measured against the reference ray and drawn side by side.
#pragma once

#include <vector>

#include "trace/ray_record.h"

// Which intercept a fan shows: 0 the y component, 1 the x component, -1 the path difference.
inline constexpr int kComponentY = 0;
inline constexpr int kComponentX = 1;
inline constexpr int kComponentOpd = -1;

// How the rays of a fan are placed along the abscissa: by their pupil fraction, by their
// relative height on the reference surface ("RAIM Rrr"), or by their image-space direction
// against the reference ray's ("HTNU On").
enum FanAbscissa : int { kPupilAbscissa = 0, kHeightAbscissa = 1, kTangentAbscissa = 2 };

// One fan of one wavelength: values and abscissas per ray (kMissingValue where missing).
struct FanCurve {
    std::vector<double> values;
    std::vector<double> abscissas;
};

// The traced fans of every wavelength shown, from wavelength index first on.
struct FanCurves {
    int n = 0;  // meridional rays, from pupil -1 by step
    int m = 0;  // sagittal rays, from sagittal_start by sagittal_step
    double step = 0.0;
    double sagittal_start = -1.0;
    double sagittal_step = 0.0;
    bool half = false;  // the sagittal fan covers half the pupil
    int first = 0;
    int abscissa_mode = kPupilAbscissa;
    int meridional_component = kComponentY;
    int sagittal_component = kComponentX;
    std::vector<FanCurve> meridional, sagittal;
    bool failed_rays = false;  // rays failed and were given 0 (aperture checking off)
    double largest = 0.0;      // the largest absolute value
    double widest = 0.0;       // the largest absolute measured tangent abscissa
};

// Traces the fans of the reference ray's field point: rays per fan (at least 7, odd), the
// wavelength selection (0 current, 1 the first three, else all), the component selection of
// the intercepts. The wavelength and the stored field point are as before afterwards. 0, -10 or
// the reference ray's failure.
int compute_fan_curves(bool opd, int selection, int component, int rays, FanCurves& out);

// What the colour correction of the path differences needs of the first wavelength's
// reference ray: its image point, direction and reference-sphere radius.
struct FirstReference {
    double x = 0.0, y = 0.0, z = 0.0;
    double k = 0.0, l = 0.0, m = 1.0;
    double radius = 0.0;
};
FirstReference first_reference_of(const ReferenceRay& reference);

// The path difference to add to a traced ray of a later wavelength so that it is referred to
// the first wavelength's reference point: the ray's point on the first wavelength's reference
// sphere (or, afocal, its plane) against the shift of the current reference point (current, the
// reference ray of the ray's wavelength). In waves when the lens says "OPDW On".
double opd_colour_correction(const RayRecord& ray, const FirstReference& first,
                             const RayRecord& current);

// The page, title block and the two graph frames of a fan plot. Components: 0 y, 1 x, -1 the
// path difference; abscissa_scale positive when the abscissas are measured tangents.
void draw_fan_plot_frame(int selection, int command, bool half, int meridional_component,
                         int sagittal_component, double abscissa_scale, bool abscissa_mode);

// Handler of slot 184: wavelengths, [component,] scale, abscissa scale, rays per fan.
int cmd_plot_ray_fans();
