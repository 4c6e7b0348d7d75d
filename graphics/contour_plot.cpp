#include "graphics/contour_plot.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "graphics/draw_primitives.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "numeric/math_functions.h"
#include "runtime/messages.h"
#include "tables/table_names.h"

namespace {

constexpr double kPi = 3.141592653589793;
// Ends of neighbouring cells' segments are computed by different expressions of the same value:
// they are joined when they agree to well below the grid resolution, not only when bit-equal.
constexpr double kSame = 1e-9;

struct Segment {
    double x0, y0, x1, y1;
    bool used;
};

struct XY {
    double x, y;
};

bool same(double ax, double ay, double bx, double by) {
    return std::fabs(ax - bx) <= kSame && std::fabs(ay - by) <= kSame;
}

class Tracer {
public:
    Tracer(double step, double tolerance) : step_(step), tolerance_(tolerance) {}

    std::vector<Segment> segments;

    void add(double u0, double u1, double v0, double v1, int i, int j) {
        segments.push_back({((i - 1) + u0) * step_ - 1, ((j - 1) + v0) * step_ - 1,
                            ((i - 1) + u1) * step_ - 1, ((j - 1) + v1) * step_ - 1, false});
    }

    // One level through one cell of the bilinear surface z00 + a u + b v + c u v.
    void cell(double z00, double z10, double z01, double z11, double level, int i, int j) {
        const double a = z10 - z00, b = z01 - z00, c = z11 - z00 - a - b;
        const double d = c * level - z00 * z11 + z10 * z01;
        auto accepted = [](double t) { return t > -1e-5 && t < 1.00001; };
        if (std::fabs(d) < tolerance_ && std::fabs(c) > tolerance_) {
            // The level set is the pair of lines u = p and v = q.
            const double p = -b / c, q = -a / c;
            if (accepted(q)) add(0, 1, q, q, i, j);
            if (accepted(p)) add(p, p, 0, 1, i, j);
            return;
        }
        XY hit[4];
        int n = 0;
        if (b != 0 && accepted((level - z00) / b)) hit[n++] = {0, (level - z00) / b};
        if (b + c != 0 && accepted((level - z00 - a) / (b + c))) {
            hit[n++] = {1, (level - z00 - a) / (b + c)};
        }
        if (a != 0 && accepted((level - z00) / a)) hit[n++] = {(level - z00) / a, 0};
        if (a + c != 0 && accepted((level - z00 - b) / (a + c))) {
            hit[n++] = {(level - z00 - b) / (a + c), 1};
        }
        auto join = [&](const XY& s, const XY& e) { add(s.x, e.x, s.y, e.y, i, j); };
        if (n == 2) {
            join(hit[0], hit[1]);
        } else if (n == 3) {
            if (same(hit[0].x, hit[0].y, hit[1].x, hit[1].y)) {
                join(hit[0], hit[2]);
            } else if (same(hit[0].x, hit[0].y, hit[2].x, hit[2].y)) {
                join(hit[0], hit[1]);
            } else {
                join(hit[0], hit[2]);
            }
        } else if (n == 4) {
            if (d == 0) {
                join(hit[0], hit[1]);
                join(hit[2], hit[3]);
            } else if (d < 0) {
                join(hit[0], hit[3]);
                join(hit[1], hit[2]);
            } else {
                join(hit[0], hit[2]);
                join(hit[1], hit[3]);
            }
        }
    }

private:
    double step_;
    double tolerance_;
};

// A missing corner's substitute when the valid diagonal lies on one side of the level.
bool fill_corner(double level, double z[4], const bool valid[4]) {
    // Corners in the order 00, 10, 01, 11: the diagonals are (00, 11) and (10, 01).
    int missing = -1;
    for (int k = 0; k < 4; ++k) {
        if (!valid[k]) missing = k;
    }
    if (missing < 0) return true;
    const int d0 = missing == 0 || missing == 3 ? 1 : 0;
    const int d1 = 3 - d0;
    const double p = z[d0], q = z[d1];
    if (p <= level && q <= level) {
        z[missing] = std::min(p, q) - kPi;
    } else if (p >= level && q >= level) {
        z[missing] = std::max(p, q) + kPi;
    } else {
        return false;
    }
    return true;
}

void draw_piece(const XY& p0, const XY& p1, const XY& p2, const XY& p3, bool bspline) {
    for (int k = 0; k <= 10; ++k) {
        const double t = k / 10.0;
        double w[4];
        if (bspline) {
            w[0] = (1 - t) * (1 - t) * (1 - t) / 6;
            w[1] = (3 * t * t * t - 6 * t * t + 4) / 6;
            w[2] = (-3 * t * t * t + 3 * t * t + 3 * t + 1) / 6;
            w[3] = t * t * t / 6;
        } else {  // Hermite: p0, tangent p1, p2, tangent p3
            w[0] = 2 * t * t * t - 3 * t * t + 1;
            w[1] = t * t * t - 2 * t * t + t;
            w[2] = -2 * t * t * t + 3 * t * t;
            w[3] = t * t * t - t * t;
        }
        const double x = w[0] * p0.x + w[1] * p1.x + w[2] * p2.x + w[3] * p3.x;
        const double y = w[0] * p0.y + w[1] * p1.y + w[2] * p2.y + w[3] * p3.y;
        if (k == 0) {
            gfx_move_to(x, y);
        } else {
            gfx_draw_to(x, y);
        }
    }
}

void hermite(const XY& a, const XY& ta, const XY& b, const XY& tb) {
    draw_piece(a, ta, b, tb, false);
}

XY bspline_at(const XY* p, double t) {
    const double w0 = (1 - t) * (1 - t) * (1 - t) / 6, w1 = (3 * t * t * t - 6 * t * t + 4) / 6;
    const double w2 = (-3 * t * t * t + 3 * t * t + 3 * t + 1) / 6, w3 = t * t * t / 6;
    return {w0 * p[0].x + w1 * p[1].x + w2 * p[2].x + w3 * p[3].x,
            w0 * p[0].y + w1 * p[1].y + w2 * p[2].y + w3 * p[3].y};
}

void draw_chain(const std::vector<XY>& pts, int level_index, bool styles) {
    const int k = std::abs(level_index);
    gfx_set_color(k % 8 + 1);
    if (styles) gfx_set_line_style(k);
    const std::size_t n = pts.size();
    const bool closed = n >= 4 && same(pts.front().x, pts.front().y, pts.back().x, pts.back().y);
    if (closed) {
        // The closing point repeats the first: the control polygon is the n - 1 distinct points.
        const std::size_t m = n - 1;
        for (std::size_t s = 0; s < m; ++s) {
            draw_piece(pts[s], pts[(s + 1) % m], pts[(s + 2) % m], pts[(s + 3) % m], true);
        }
    } else if (n == 1) {
        gfx_move_to(pts[0].x, pts[0].y);
        gfx_draw_to(pts[0].x, pts[0].y);
    } else if (n == 2) {
        gfx_move_to(pts[0].x, pts[0].y);
        gfx_draw_to(pts[1].x, pts[1].y);
    } else if (n == 3) {
        const XY c1{pts[1].x - pts[0].x, pts[1].y - pts[0].y};
        const XY cm{(pts[2].x - pts[0].x) / 2, (pts[2].y - pts[0].y) / 2};
        const XY c2{pts[2].x - pts[1].x, pts[2].y - pts[1].y};
        hermite(pts[0], c1, pts[1], cm);
        hermite(pts[1], cm, pts[2], c2);
    } else if (n >= 4) {
        const XY b0 = bspline_at(&pts[0], 0), b01 = bspline_at(&pts[0], 0.1);
        const XY first_chord{pts[1].x - pts[0].x, pts[1].y - pts[0].y};
        hermite(pts[0], first_chord, b0, {10 * (b01.x - b0.x), 10 * (b01.y - b0.y)});
        for (std::size_t s = 0; s + 3 < n; ++s)
            draw_piece(pts[s], pts[s + 1], pts[s + 2], pts[s + 3], true);
        const XY* last = &pts[n - 4];
        const XY e1 = bspline_at(last, 1), e09 = bspline_at(last, 0.9);
        const XY last_chord{pts[n - 1].x - pts[n - 2].x, pts[n - 1].y - pts[n - 2].y};
        hermite(e1, {10 * (e1.x - e09.x), 10 * (e1.y - e09.y)}, pts[n - 1], last_chord);
    }
    flush_pending_polyline();
    if (styles) gfx_set_line_style(0);
}

// Joins the level's segments into chains and draws each.
void link_level(std::vector<Segment>& segs, int level_index, bool styles) {
    if (segs.size() > 3) {
        std::vector<Segment> kept;
        for (const Segment& s : segs) {
            if (same(s.x0, s.y0, s.x1, s.y1)) continue;
            const bool repeated = std::any_of(kept.begin(), kept.end(), [&](const Segment& k) {
                return (same(k.x0, k.y0, s.x0, s.y0) && same(k.x1, k.y1, s.x1, s.y1)) ||
                       (same(k.x0, k.y0, s.x1, s.y1) && same(k.x1, k.y1, s.x0, s.y0));
            });
            if (!repeated) kept.push_back(s);
        }
        segs = std::move(kept);
    }
    std::vector<XY> chain;
    for (;;) {
        auto first =
            std::find_if(segs.begin(), segs.end(), [](const Segment& s) { return !s.used; });
        if (first == segs.end()) break;
        first->used = true;
        chain = {{first->x0, first->y0}, {first->x1, first->y1}};
        auto extend = [&] {
            for (bool added = true; added;) {
                added = false;
                for (Segment& s : segs) {
                    if (s.used) continue;
                    const XY& e = chain.back();
                    if (same(s.x0, s.y0, e.x, e.y)) {
                        chain.push_back({s.x1, s.y1});
                    } else if (same(s.x1, s.y1, e.x, e.y)) {
                        chain.push_back({s.x0, s.y0});
                    } else {
                        continue;
                    }
                    s.used = true;
                    added = true;
                }
            }
        };
        extend();
        if (!same(chain.front().x, chain.front().y, chain.back().x, chain.back().y)) {
            std::reverse(chain.begin(), chain.end());
            extend();
        }
        draw_chain(chain, level_index, styles);
    }
}

double decibels(double v) {
    return v <= 1e-40 ? -1e40 : 10 * std::log10(v);
}

int draw_legend(const std::vector<double>& levels, int title, bool styles) {
    FrameBox world;
    gfx_frame(2, 2, &world);
    world.word = 0;
    gfx_frame(1, 2, &world);
    const double xmin = world.xmin;
    if (title != 0) {
        gfx_move_to((xmin - 1) / 2, 1.0);
        gfx_set_text_anchor(4, 0);
        gfx_set_text_size(0.8, 0, 0);
        gfx_set_color(1);
        gfx_set_line_style(0);
        gfx_print_msg(title);
    }
    for (std::size_t k = 0; k < levels.size(); ++k) {
        const int index = static_cast<int>(k);
        gfx_set_color(index % 8 + 1);
        if (styles) gfx_set_line_style(index);
        const double y = 0.9 - 0.1 * index;
        gfx_move_to(xmin + 0.1 * (-1 - xmin), y);
        gfx_draw_to(xmin + 0.4 * (-1 - xmin), y);
        gfx_set_text_anchor(22, 0);
        gfx_set_text_size(0.8, 0, 0);
        gfx_set_line_style(0);
        gfx_printf("% -7.4g", round_significant(levels[k], 7));
    }
    graphwin_refresh(0);
    return 0;
}

}  // namespace

int contour_plot(const double* const* table, int nx, int ny, const ContourOptions& o) {
    if (table == nullptr || nx < 2 || ny < 2) return set_error_msg(kMsgContourTableSmall);
    if (graphics_current_record() == nullptr) return 0;
    auto missing = [](double v) { return !(std::fabs(v) < kContourMissing); };
    const int count = o.level_count > 0 ? o.level_count : 10;
    double low = o.low, high = o.high;
    if (o.levels == nullptr && count >= 2 && std::fabs(high - low) < 1e-40) {
        low = 1e40;
        high = -1e40;
        for (int i = 0; i < nx; ++i) {
            for (int j = 0; j < ny; ++j) {
                const double v = table[i][j];
                if (missing(v)) continue;
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
        if (low > high) low = high = 0;  // no value at all
        if (o.logarithmic) {
            low = decibels(low);
            high = decibels(high);
        }
    }
    const double tolerance = (high - low) * 1e-12;
    const double step = 2.0 / (std::max(nx, ny) - 1);

    FrameBox world;
    gfx_frame(2, 2, &world);
    if (!(world.xmin <= -1 && world.xmax >= 1 && world.ymin <= -1 && world.ymax >= 1 &&
          world.word != 0)) {
        FrameBox frame{-1.2, 1.2, -1.1, 1.1, 1};
        gfx_frame(1, 2, &frame);
        gfx_set_color(1);
        const double xe = (nx - 1) * step - 1, ye = (ny - 1) * step - 1;
        gfx_move_to(-1, -1);
        gfx_draw_to(xe, -1);
        gfx_draw_to(xe, ye);
        gfx_draw_to(-1, ye);
        gfx_draw_to(-1, -1);
        graphwin_refresh(0);
    }

    std::vector<double> levels;
    try {
        levels.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }
    for (int k = 0; k < count; ++k) {
        levels[static_cast<std::size_t>(k)] = o.levels != nullptr ? o.levels[k]
                                              : count == 1        ? high
                                                           : high - k * (high - low) / (count - 1);
    }

    Tracer tracer(step, tolerance);
    try {
        tracer.segments.reserve(2 * static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny));
    } catch (const std::bad_alloc&) {
        return kMsgOutOfMemory;
    }
    for (int k = 0; k < count; ++k) {
        const double level = levels[static_cast<std::size_t>(k)];
        tracer.segments.clear();
        for (int j = 1; j < ny; ++j) {
            for (int i = 1; i < nx; ++i) {
                double z[4] = {table[i - 1][j - 1], table[i][j - 1], table[i - 1][j], table[i][j]};
                bool valid[4];
                int n = 0;
                for (int c = 0; c < 4; ++c) {
                    valid[c] = !missing(z[c]);
                    n += valid[c] ? 1 : 0;
                }
                if (n < 3) continue;
                // Decibels first, so that a substitute compares with the level in one scale.
                if (o.logarithmic) {
                    for (int c = 0; c < 4; ++c) {
                        if (valid[c]) z[c] = decibels(z[c]);
                    }
                }
                if (n == 3 && !fill_corner(level, z, valid)) continue;
                const double traced = std::fabs(level - 1.0) < 1e-5 ? 0.99999 : level;
                const double lo = std::min({z[0], z[1], z[2], z[3]});
                const double hi = std::max({z[0], z[1], z[2], z[3]});
                if (traced < lo || traced > hi) continue;
                tracer.cell(z[0], z[1], z[2], z[3], traced, i, j);
            }
        }
        link_level(tracer.segments, k, o.styles);
    }
    graphwin_refresh(0);
    if (o.legend) return draw_legend(levels, o.title_message, o.styles);
    return 0;
}
