// The manufacturing data of one lens element: the record hung from the element's first surface
// with one block per side, made on first use from the diameter-class table and the lens's
// element-drawing defaults, set by the element commands and written into lens files as lines of
// their own. The drawing of it is not made here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lens/surface_tolerances.h"

struct ElementDrawingDefaults;
struct SurfaceRecord;

inline constexpr int kElementTitleLength = 35;
inline constexpr int kElementNumberLength = 15;
inline constexpr int kElementDateLength = 15;
inline constexpr int kElementSideNoteLength = 32;
inline constexpr int kElementSideTextLength = 34;

struct ElementSide {
    double pair[2];            // a nominal value and tolerance, or two limits
    double imperfection_size;  // surface imperfections
    double coating_size;       // coating imperfections
    double scratch_width;      // long scratches
    double edge_chip;
    double irregularity;  // the third part of the form indication; 0 absent
    double rms[3];        // RMSt, RMSi, RMSa; 0 absent
    std::uint16_t imperfection_count;
    std::uint16_t coating_count;
    std::uint16_t scratch_count;
    std::uint16_t further[2];
    std::uint8_t flags[2];
    char note[kElementSideNoteLength + 1];  // printed under the side's indications
    char text[kElementSideTextLength + 1];
};

struct ElementDrawing {
    double diameter;
    double upper_tolerance;
    double lower_tolerance;
    double bubble_size;
    ElementSide* sides[2];  // left, right
    std::uint16_t bubble_count;
    std::uint16_t stress_birefringence;  // nm/cm, 0 not specified
    std::uint16_t further[2];
    std::uint8_t inhomogeneity;  // 0 not specified
    std::uint8_t striae;
    std::uint8_t extra;   // from the defaults
    std::uint8_t marked;  // set by the title command
    char title[kElementTitleLength + 1];
    char number[kElementNumberLength + 1];
    char date[kElementDateLength + 1];
};

// Makes the surface's record when it has none: 0, or -353 (out of memory, nothing left behind).
int new_element_drawing(SurfaceRecord& s);
void free_element_drawing(SurfaceRecord& s);
// Frees a record with both side blocks (the surface freer of the lens data).
void free_element_drawing_record(ElementDrawing* e);

// The values of a new record: by diameter class, and from the lens's defaults.
void element_class_defaults(ElementDrawing& e);
void element_drawing_defaults(ElementDrawing& e, const ElementDrawingDefaults& d);

// The lens-file lines of a record, compared with the lens's defaults ("ELMTTL", "ELMMED",
// "ELMSF1".."ELMSF4").
std::vector<std::string> element_drawing_lines(const ElementDrawing& e,
                                               const ElementDrawingDefaults& d);

// Surface n begins an element that can be drawn: spherical, without special records, decentres
// or tilts, in glass, neither the object nor one of the last two surfaces, and not followed by
// a surface with special records; inside a non-sequential group, when it shares its non-zero
// element number with the next surface.
bool is_element_start(int n);
// Frees the records of every surface (all non-zero), or of the surfaces that no longer begin
// an element.
void drop_element_drawings(int all);
// Handler of delete_element_drawings: asks message -788; yes drops every record. Returns 0.
int cmd_delete_element_drawings();

// The defaults commands (530-532) and the element commands (533-538) on the current surface
// (-714 without one; a side other than 1 or 2 is refused).
int cmd_set_element_defaults();
int cmd_set_element_data();

// Handlers, the surface freer and the lens writer's hook.
void install_element_drawings();
