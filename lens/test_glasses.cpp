#include "lens/test_glasses.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/paths.h"
#include "platform/state_reset.h"
#include "platform/text_file.h"
#include "runtime/settings.h"
#include "runtime/settings_commands.h"
#include "runtime/table_files.h"

namespace {

std::vector<std::int32_t> g_radii;

// The part of a line that counts, given whether a block comment is open before it.
std::string line_text(const std::string& line, bool& in_block) {
    if (in_block) {
        const std::size_t end = line.find("*/");
        if (end == std::string::npos) return {};
        in_block = false;
        return line.substr(end + 2);
    }
    std::string text = line.substr(0, line.find("//"));
    const std::size_t open = text.find("/*");
    if (open == std::string::npos) return text;
    const std::string before = text.substr(0, open);
    const std::size_t close = text.find("*/", open + 2);
    if (close == std::string::npos) {
        in_block = true;
        return before;
    }
    const bool nothing_before = std::all_of(before.begin(), before.end(),
                                            [](unsigned char c) { return std::isspace(c) != 0; });
    return nothing_before ? text.substr(close + 2) : before;
}

bool holds_digit(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

// The number a text starts with (after blanks); false when it starts with anything else.
bool leading_number(const std::string& text, double& value) {
    const char* start = text.c_str();
    while (*start == ' ' || *start == '\t') ++start;
    // Only decimal numbers: no "inf", "nan" or hexadecimal forms from the file.
    const char* p = start;
    if (*p == '+' || *p == '-') ++p;
    if (*p == '.') ++p;
    if (std::isdigit(static_cast<unsigned char>(*p)) == 0) return false;
    char* end = nullptr;
    value = std::strtod(start, &end);
    return end != start;
}

int load_for_setting(const char* name) {
    return read_test_glass_list(name);
}

}  // namespace

std::string test_glass_path(const char* name) {
    const std::string text = name != nullptr ? name : "";
    if (text.find_first_of("/\\") != std::string::npos) return platform::to_native_path(text);
    return platform::join_path(platform::join_path(root_folder(), "bin/lmo"), text);
}

int read_test_glass_list(const char* name) {
    g_radii.clear();
    platform::LineReader reader;
    if (name == nullptr || *name == '\0' || reader.open(test_glass_path(name)) != 0) {
        return kMsgTestGlassFileUnreadable;
    }
    bool in_block = false;
    bool count_read = false;
    int result = 0;
    std::string line;
    while (reader.next_line(line)) {
        const std::string text = line_text(line, in_block);
        if (!holds_digit(text)) continue;
        double value = 0;
        if (!leading_number(text, value)) {
            result = kMsgTestGlassLineBad;
            break;
        }
        if (!count_read) {
            // The count only sizes the list; the radii that follow decide how many there are.
            count_read = true;
            if (value > 0 && value < 10000) g_radii.reserve(static_cast<std::size_t>(value));
            continue;
        }
        const double scaled = value * kTestGlassScale;
        if (!std::isfinite(scaled) || std::fabs(scaled) >= kTestGlassScaledLimit) continue;
        g_radii.push_back(static_cast<std::int32_t>(std::lround(scaled)));
    }
    std::sort(g_radii.begin(), g_radii.end());
    return result;
}

int test_glass_count() {
    return static_cast<int>(g_radii.size());
}

std::int32_t test_glass_radius(int i) {
    if (i < 0 || i >= test_glass_count()) return 0;
    return g_radii[static_cast<std::size_t>(i)];
}

void clear_test_glass_list() {
    g_radii.clear();
}

int step_test_glass_radius(double radius, int direction, double* out) {
    if (g_radii.size() < 2 || direction == 0 || out == nullptr) return -1;
    const double scaled = radius * kTestGlassScale;
    if (!std::isfinite(scaled)) return -1;
    const double r = std::fabs(scaled) < kTestGlassScaledLimit ? std::round(scaled) : scaled;
    if (direction > 0) {
        const auto it = std::upper_bound(g_radii.begin(), g_radii.end(), r,
                                         [](double v, std::int32_t e) { return v < e; });
        if (it == g_radii.end()) return -1;
        *out = *it / kTestGlassScale;
        return 0;
    }
    const auto it = std::lower_bound(g_radii.begin(), g_radii.end(), r,
                                     [](std::int32_t e, double v) { return e < v; });
    if (it == g_radii.begin()) return -1;
    *out = *(it - 1) / kTestGlassScale;
    return 0;
}

void install_test_glasses() {
    set_test_glass_loader(load_for_setting);
    set_test_glass_count(test_glass_count);
}

namespace {
void reset_test_glasses() {
    std::vector<std::int32_t>().swap(g_radii);
}
const platform::StateReset test_glasses_state_reset{"lens/test_glasses", reset_test_glasses,
                                                    platform::ResetLayer::lens};
}  // namespace
