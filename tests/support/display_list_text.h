// A display list as readable text, one record a line, for golden files of pictures: the record
// kind and its operands, points as surface coordinates relative to the surface's centre.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavo_test {

// Lines such as "colour 1", "viewport 0 0 0 10000 10000", "box", "polyline -9216,0 9216,0",
// "markers 1 13 -9216,0", "text -1234,5678 \"TITLE\"", "style 2", "isotropic 0".
std::string display_list_text(const std::vector<std::uint16_t>& words);

// The points of every polyline record, in order (x, y relative to the surface centre).
struct ListPoint {
    int x = 0;
    int y = 0;
};
std::vector<std::vector<ListPoint>> display_list_polylines(const std::vector<std::uint16_t>& words);
// The points of every marker record with its marker type.
struct ListMarkers {
    int type = 0;
    std::vector<ListPoint> points;
};
std::vector<ListMarkers> display_list_markers(const std::vector<std::uint16_t>& words);
// The texts of the text records, in order.
std::vector<std::string> display_list_texts(const std::vector<std::uint16_t>& words);

}  // namespace tavo_test
