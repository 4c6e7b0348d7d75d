// The round scale values of plots and listings: a value stepped to 1, 2 or 5 times a power of
// ten, or to a whole mantissa.
#pragma once

// |value| (below 1e-40 taken as 1e-40) written as m x 10^p with m in (1, 10]; then mode 1 or
// 10 gives the smallest of 2, 5 and 10 not below m, mode 3 the nearest whole m, any other mode
// floor(m); the result is that times 10^p. A value of exactly 1 has m = 10 and p = -1.
double scale_step(double value, int mode);
