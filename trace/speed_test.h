// The ray-trace speed test: a fixed test lens of six biconvex elements traced with a compact
// closed-form step of its own, timed, with an accuracy check of the last ray. It does not use
// the current lens.
#pragma once

// The state of the test ray: position, and optical direction cosines (index times the
// direction cosines; the index is 1 at the start and at the end).
struct SpeedTestRay {
    double x, y, z;
    double k, l, m;
};

// Traces n rays with fractions a = b = i / n (i = 1..n) through surfaces 1..last of the test
// lens; returns the last ray.
SpeedTestRay speed_test_pass(int n, int last);

// Command 713: one argument, the number of rays.
int cmd_ray_speed_test();
void install_speed_test();
