// The ray-trace report page: ray-intercept or path-difference fans at the full field, the 0.7
// field and on axis, the astigmatism, distortion and lateral-colour curves, and the lens drawing
// with its field rays.
#pragma once

// The fans' pupil abscissa is the image-space slope against the chief ray's; the abscissa
// scale, when not given, is the largest such slope of four rim rays on axis.
// report_ray_trace [kind [scale [abscissa scale [astigmatism [distortion [lateral colour
// [drawing scale]]]]]]]
int cmd_report_ray_trace_page();

// The abscissa scale of the fans: the largest slope of the rim rays (pupil +-1 in y, +1 and,
// unless the lens is plane-symmetric, -1 in x) of the current reference ray against its own, as
// a sine of the angle between them for path differences, to three digits. The reference ray
// must be traced.
double report_fan_abscissa_scale(bool opd);
