#include "tests/support/display_list_text.h"

#include <cstring>
#include <sstream>

#include "graphics/graphics_window.h"

namespace tavo_test {
namespace {

int signed_word(std::uint16_t w) {
    return static_cast<std::int16_t>(w);
}

struct Record {
    int kind = 0;
    int value = 0;
    std::size_t at = 0;  // first operand
    std::size_t operands = 0;
};

// Walks the records up to the end word (or a record this program does not write).
template <class Visit>
void walk(const std::vector<std::uint16_t>& w, Visit visit) {
    std::size_t i = 0;
    while (i < w.size() && w[i] != 0) {
        Record r;
        r.kind = w[i] & kDlKindMask;
        r.value = w[i] & kDlValueMask;
        r.at = i + 1;
        switch (r.kind) {
            case kDlViewport:
                r.operands = 4;
                break;
            case kDlTextAttributes:
                r.operands = r.value != 0 ? 0 : 4;
                break;
            case kDlText:
                r.operands = 2 + static_cast<std::size_t>(r.value);
                break;
            case kDlTextOffset:
                r.operands = 4 + static_cast<std::size_t>(r.value);
                break;
            case kDlMarkers:
                r.operands = 1 + 2 * static_cast<std::size_t>(r.value);
                break;
            case kDlDots:
            case kDlPolyline:
                r.operands = 2 * static_cast<std::size_t>(r.value);
                break;
            case kDlRawHpgl:
                r.operands = static_cast<std::size_t>(r.value);
                break;
            case kDlColour:
            case kDlIsotropic:
            case kDlViewportBox:
            case kDlLineStyle:
            case kDlFillColour:
                break;
            default:
                return;
        }
        if (r.at + r.operands > w.size()) return;
        visit(r);
        i = r.at + r.operands;
    }
}

std::vector<ListPoint> points(const std::vector<std::uint16_t>& w, std::size_t at, int n) {
    std::vector<ListPoint> p;
    for (int k = 0; k < n; ++k) {
        p.push_back({signed_word(w[at + 2 * static_cast<std::size_t>(k)]),
                     signed_word(w[at + 2 * static_cast<std::size_t>(k) + 1])});
    }
    return p;
}

std::string packed(const std::vector<std::uint16_t>& w, std::size_t at, int count) {
    std::string t;
    for (int k = 0; k < count; ++k) {
        t += static_cast<char>(w[at + static_cast<std::size_t>(k)] & 0xFF);
        t += static_cast<char>(w[at + static_cast<std::size_t>(k)] >> 8);
    }
    t.resize(std::strlen(t.c_str()));
    return t;
}

void put_points(std::ostringstream& out, const std::vector<ListPoint>& p) {
    for (const ListPoint& q : p) out << ' ' << q.x << ',' << q.y;
}

}  // namespace

std::string display_list_text(const std::vector<std::uint16_t>& w) {
    std::ostringstream out;
    walk(w, [&](const Record& r) {
        switch (r.kind) {
            case kDlColour:
                out << "colour " << r.value;
                break;
            case kDlViewport:
                out << "viewport " << r.value;
                for (std::size_t k = 0; k < 4; ++k) out << ' ' << w[r.at + k];
                break;
            case kDlTextAttributes:
                out << "attributes";
                if (r.value != 0) out << " default";
                for (std::size_t k = 0; k < r.operands; ++k) out << ' ' << signed_word(w[r.at + k]);
                break;
            case kDlText:
                out << "text " << signed_word(w[r.at]) << ',' << signed_word(w[r.at + 1]) << " \""
                    << packed(w, r.at + 2, r.value) << '"';
                break;
            case kDlTextOffset:
                out << "text " << signed_word(w[r.at]) << ',' << signed_word(w[r.at + 1]) << " +"
                    << signed_word(w[r.at + 2]) << ',' << signed_word(w[r.at + 3]) << " \""
                    << packed(w, r.at + 4, r.value) << '"';
                break;
            case kDlMarkers:
                out << "markers " << (w[r.at] >> 8) << ' ' << (w[r.at] & 0xFF);
                put_points(out, points(w, r.at + 1, r.value));
                break;
            case kDlDots:
                out << "dots";
                put_points(out, points(w, r.at, r.value));
                break;
            case kDlIsotropic:
                out << "isotropic " << r.value;
                break;
            case kDlViewportBox:
                out << "box";
                break;
            case kDlPolyline:
                out << "polyline";
                put_points(out, points(w, r.at, r.value));
                break;
            case kDlRawHpgl:
                out << "hpgl \"" << packed(w, r.at, r.value) << '"';
                break;
            case kDlLineStyle:
                out << "style " << r.value;
                break;
            case kDlFillColour:
                out << "fill " << r.value;
                break;
            default:
                break;
        }
        out << '\n';
    });
    return out.str();
}

std::vector<std::vector<ListPoint>> display_list_polylines(const std::vector<std::uint16_t>& w) {
    std::vector<std::vector<ListPoint>> lines;
    walk(w, [&](const Record& r) {
        if (r.kind == kDlPolyline) lines.push_back(points(w, r.at, r.value));
    });
    return lines;
}

std::vector<ListMarkers> display_list_markers(const std::vector<std::uint16_t>& w) {
    std::vector<ListMarkers> m;
    walk(w, [&](const Record& r) {
        if (r.kind == kDlMarkers) m.push_back({w[r.at] >> 8, points(w, r.at + 1, r.value)});
    });
    return m;
}

std::vector<std::string> display_list_texts(const std::vector<std::uint16_t>& w) {
    std::vector<std::string> t;
    walk(w, [&](const Record& r) {
        if (r.kind == kDlText) t.push_back(packed(w, r.at + 2, r.value));
        if (r.kind == kDlTextOffset) t.push_back(packed(w, r.at + 4, r.value));
    });
    return t;
}

}  // namespace tavo_test
