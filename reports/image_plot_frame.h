// The frame of the plots of the image plane (intensity perspective 768, spot diagram 770,
// wavefront 771, point-spread perspective 793): page, title block with the heading, field point
// and focus shift, the reference point's distance from the axis and the scale, units, legend or
// wavefront statistics, and a world frame in which a unit is as long across as up. Also the
// optical path difference against the reference sphere moved to a chosen point, which the
// wavefront statistics and both wavefront plots share.
#pragma once

struct SpotRay;

// Sets the world frame about (xmin..xmax, ymin..ymax) so that a world unit has equal length in
// both directions on the current viewport; the flag is stored with the frame.
void set_isometric_world(double xmin, double xmax, double ymin, double ymax, int flag);

// w added to the wavelength index by the wavefront map.
inline constexpr int kWavefrontMapForm = 200;

// dz the focus shift; the reference point's offsets from the reference ray's image point; the
// scale; w the wavelength index (at or above Max_wavelengths for all wavelengths), the index
// plus kWavefrontMapForm for the wavefront map, negative for a spot diagram in image
// coordinates.
void draw_image_plot_frame(double dz, double y_offset, double x_offset, double scale, int w);

// The reference sphere of the reference ray moved by (ox, oy) across and dz along the axis,
// for wavelength w: the path difference of a ray against it.
struct ShiftedReference {
    ShiftedReference(int w, double ox, double oy, double dz);

    // W' of a stored ray; mirrored: its mirror image in x of a half-pupil diagram.
    double opd(const SpotRay& ray, bool mirrored = false) const;
    // W' of a ray of path difference w, direction (k, l, m) and pupil point (p1, p2, p3).
    double opd(double w, double k, double l, double m, double p1, double p2, double p3) const;
    // The finite form's terms for a reference ray of direction (k, l, m) and sphere radius R
    // (at infinity when |R| is at most 1e-40).
    void set_finite_form(double k, double l, double m, double R);

    bool afocal;
    bool at_infinity;  // the reference-at-infinity form (also when R_ref is 0)
    double n;          // image-space index of the wavelength
    double ox, oy, dz;
    double ox_sphere, oy_sphere;  // the finite form's ox', oy'
    double c, q;
};

// Peak-to-valley and rms of W' over the rays of wavelength w (their mirrors too on a half
// pupil), in lens units or, under the OPD-in-waves option, in waves.
struct WavefrontStatistics {
    double peak_to_valley = 0.0;
    double rms = 0.0;
};
WavefrontStatistics wavefront_statistics(int w, double ox, double oy, double dz);

// Millimetres per lens unit, and the factor from lens units of path to waves of wavelength w
// under the OPD-in-waves option (1 without it).
double waves_factor(int w);
