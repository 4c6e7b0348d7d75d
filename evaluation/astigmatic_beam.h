// The general astigmatic Gaussian beam carried by real rays: nine rays (a base ray along the
// beam and eight neighbours displaced in position and direction) give at every surface the
// 4 x 4 ray matrix from the object, and that matrix carries the beam's complex curvature matrix
// Q (Re Q the negated wavefront curvatures, Im Q = -lambda' / (pi w^2) on the principal axes).
//
// A beam state holds Q11, Q22 and the coupling t = 2 Q12 / (Q22 - Q11); while Q22 - Q11
// vanishes and Q12 does not, t is +-1e10 and Q11, Q22 hold the two principal values (the
// principal-value form), with delta the difference that goes with it.
#pragma once

#include "numeric/complex_math.h"
#include "tables/table_names.h"

inline constexpr double kCouplingLimit = 1e10;

struct BeamState {
    Complex q11{0, 0}, q22{0, 0}, t{0, 0};
    Complex delta{0, 0};  // 2 Q12 at the object in the principal-value form; later p2 - p1
    double index = 1.0;   // the medium index the state was formed with
};

// A ray matrix, rows and columns x, y, then the two optical direction components.
struct RayMatrix4 {
    double m[4][4];
};

// The object-plane state of a beam of spot sizes and radii along its own x and y axes (radius
// 0: plane), its x axis turned by angle_degrees; a is lambda' / pi in object space.
BeamState object_beam_state(double wx, double wy, double rx, double ry, double angle_degrees,
                            double a);
// The waist and its distance (downstream positive) of one axis of a beam of spot w and radius
// r; waist 0 when there is none.
void axis_waist(double w, double r, double a, double& waist, double& distance);

// The spot sizes of an incident state: across and along the angle (degrees) of its axes.
struct IncidentView {
    double across = 0.0, along = 0.0, angle = 0.0;
};
// lambda_n: the working wavelength in the medium (lens units). Also stores p2 - p1 in
// state.delta.
IncidentView incident_extraction(BeamState& state, double lambda_n);

// The wavefront radii after a surface, across and along their angle, and the waists and
// distances of the two principal values (waists -1 when the beam is twisted).
struct RefractedView {
    double across = 0.0, along = 0.0, angle = 0.0;
    double waist1 = 0.0, waist2 = 0.0, distance1 = 0.0, distance2 = 0.0;
};
RefractedView refracted_extraction(BeamState& state, double lambda_n);

// Handler kSlotRealRayGaussianBeam: the listing. 0, -1732, -10, or the failure of the object
// point or of a ray's set-up.
int cmd_real_ray_gaussian_beam();
