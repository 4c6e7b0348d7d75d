#include "entry/surface_records.h"

#include <cstdlib>
#include <limits>
#include <string>

#include "entry/at_surface_entry.h"
#include "entry/entry_frame.h"
#include "lens/lens_data.h"
#include "lens/lens_echo.h"
#include "lens/surface_groups.h"
#include "lens/surface_setters.h"
#include "numeric/memory.h"
#include "runtime/arg_cells.h"
#include "runtime/messages.h"
#include "runtime/state_flags.h"
#include "runtime/text_output.h"
#include "tables/table_names.h"

namespace {

constexpr int kFreeVertex = -1;
constexpr int kMaxMeshVertices = 32767;

// A count below zero (or beyond what the record holds) is refused with the value the user gave.
int refuse_negative_count(int n) {
    return set_error_msg(kMsgBadValue, std::to_string(n).c_str());
}

// The records below hang on the current surface: a current surface outside the lens (-1 before
// any surface is made current) is refused, never taken as an index into the surface array.
bool no_current_surface() {
    const int cur = current_surface();
    return cur < 0 || cur > lens_data().image_surface;
}

void free_spline_record(SurfaceRecord& s) {
    SplineRecord* spline = s.spline;
    if (spline == nullptr) return;
    mem_free(spline->radius);
    mem_free(spline->slope);
    mem_free(spline->curvature_profile);
    mem_free(spline->sag_profile);
    mem_free(spline);
    s.spline = nullptr;
}

int perfect_lens(int command) {
    if (no_current_surface()) return set_error_msg(kMsgNoCurrentSurface);
    const int cur = current_surface();
    SurfaceRecord& s = surface(cur);
    if (cur < 1) return set_error_msg(kMsgNoObjectSurfaceEntry);
    if (command == kCmdPerfectRemove) {
        mem_free(s.perfect_lens);
        s.perfect_lens = nullptr;
        if (!update_mode()) print_symbol_name("%s\n", command);
        return 0;
    }
    if (s.perfect_lens == nullptr) {
        s.perfect_lens = alloc_array_of<PerfectLensRecord>(1);
        if (s.perfect_lens == nullptr) return kMsgOutOfMemory;
        // A perfect lens has no shape of its own: a pickup or solve on the curvature would
        // only be misread by the trace.
        set_curvature_data(cur, kCurvaturePlain, 0, 0.0, 0.0);
    }
    const double value = arg_double(0);
    if (command == kCmdPerfectFocal) {
        s.perfect_lens->focal_length = value;
    } else {
        s.perfect_lens->magnification = value;
    }
    print_message_and_number("%s ", command, value);
    return 0;
}

int spline_count(int cur, int n) {
    SurfaceRecord& s = surface(cur);
    // n points are n + 1 entries, which an int must count.
    if (n < 0 || n == std::numeric_limits<int>::max()) return refuse_negative_count(n);
    if (s.asphere != nullptr) {
        if (const int rc = ask_msg(kMsgSplineReplacesAsphere, cur); rc != 0) return rc;
        mem_free(s.asphere);
        s.asphere = nullptr;
    }
    const int rc = s.spline == nullptr ? alloc_spline_record(cur, n) : resize_spline_record(cur, n);
    if (rc != 0) return rc;
    s.spline->changed = 1;
    print_message_and_integer("%s ", kCmdSplineCount, n);
    return 0;
}

int spline_point(int cur, int command) {
    SplineRecord* spline = surface(cur).spline;
    if (spline == nullptr) return set_error_msg(kMsgNoSplineProfile);
    const int i = arg_int(0);
    if (i < 0 || i >= spline->count) return set_error_msg(kMsgSplineIndex, spline->count - 1);
    const double value = arg_double(1);
    (command == kCmdSplineRadius ? spline->radius : spline->slope)[i] = value;
    spline->changed = 1;
    print_msg(command == kCmdSplineRadius ? kMsgSplineRadiusEcho : kMsgSplineSlopeEcho, i);
    if (i < 10) text_spaces(1);
    text_number(value);
    text_newline();
    return 0;
}

int spline_case(int command) {
    if (no_current_surface()) return set_error_msg(kMsgNoCurrentSurface);
    const int cur = current_surface();
    switch (command) {
        case kCmdSplineCount:
            return spline_count(cur, arg_int(0));
        case kCmdSplineRadius:
        case kCmdSplineSlope:
            return spline_point(cur, command);
        default: {
            SurfaceRecord& s = surface(cur);
            if (s.spline == nullptr) return set_error_msg(kMsgNoSplineProfile);
            free_spline_record(s);
            print_symbol_name("%s\n", command);
            lens_flags().bounds_stale = 1;
            return 0;
        }
    }
}

int drawing_switch(int value) {
    const int cur = current_surface();
    surface(cur).drawing_mode = static_cast<std::uint8_t>(value);
    const bool on = value != kDrawingAut && value != kDrawingOff && value != kDrawingAp;
    LensData& l = lens_data();
    // A drawn image surface is outlined in the lens drawing.
    if (on && cur == l.image_surface &&
        (update_mode() || test_state_flag(kFlagEntryAtSurface) != 0) &&
        l.drawing_conditions != nullptr) {
        l.drawing_conditions->dlrs = 3;
    }
    if (update_mode()) return 0;
    print_symbol_name("%s  ", kCmdDrawingSwitch);
    if (value == kDrawingAut) {
        text_out("AUT\n");
    } else if (value == kDrawingOff) {
        text_out("OFF\n");
    } else if (value == kDrawingAp) {
        text_out(" AP\n");
    } else {
        text_out(" ON\n");
    }
    return 0;
}

int new_mesh(int vertices, int faces) {
    // Faces hold their vertex numbers in 16 bits.
    if (vertices < 0 || vertices > kMaxMeshVertices) return refuse_negative_count(vertices);
    if (faces < 0) return refuse_negative_count(faces);
    SurfaceRecord& s = surface(current_surface());
    free_surface_mesh(s);
    auto* mesh = alloc_array_of<SurfaceMesh>(1);
    if (mesh == nullptr) return kMsgNoSpecialDataMemory;
    // The entries are had one past the counts so that an empty mesh still owns its arrays.
    mesh->vertices = alloc_array_of<MeshVertex>(static_cast<std::size_t>(vertices) + 1);
    mesh->faces = alloc_array_of<MeshFace>(static_cast<std::size_t>(faces) + 1);
    if (mesh->vertices == nullptr || mesh->faces == nullptr) {
        mem_free(mesh->vertices);
        mem_free(mesh->faces);
        mem_free(mesh);
        return kMsgNoSpecialDataMemory;
    }
    for (int k = 0; k < vertices; ++k) mesh->vertices[k].surface_offset = kFreeVertex;
    mesh->vertex_count = vertices;
    mesh->face_count = faces;
    s.mesh = mesh;
    if (!update_mode()) {
        print_symbol_name("%s  ", kCmdMeshNew);
        text_printf("%d", vertices);
        text_spaces(9);
        text_printf("%d\n", faces);
    }
    return 0;
}

bool vertex_in_use(const SurfaceMesh& mesh, int k) {
    return k >= 1 && k <= mesh.vertex_count && mesh.vertices[k - 1].surface_offset != kFreeVertex;
}

int mesh_vertex(SurfaceMesh& mesh) {
    const int k = arg_int(0);
    if (k < 1 || k > mesh.vertex_count) {
        return set_error_msg(kMsgMeshVertexNumber, mesh.vertex_count);
    }
    MeshVertex& v = mesh.vertices[k - 1];
    v.x = arg_double(1);
    v.y = arg_double(2);
    v.z = arg_double(3);
    v.surface_offset = arg_int(4);
    if (!update_mode()) {
        print_symbol_name("%s   ", kCmdMeshVertex);
        text_printf("%d", k);
        print_number_cell(v.x);
        print_number_cell(v.y);
        print_number_cell(v.z);
        text_spaces(9);
        text_printf("%d\n", static_cast<int>(v.surface_offset));
    }
    return 0;
}

int mesh_face(SurfaceMesh& mesh) {
    const int f = arg_int(0);
    if (f < 1 || f > mesh.face_count) return set_error_msg(kMsgMeshFaceNumber, mesh.face_count);
    MeshFace& face = mesh.faces[f - 1];
    const bool fourth_given = arg_given(4) && arg_int(4) != 0;
    for (int j = 0; j < 4; ++j) {
        // A face of three vertices closes on its first.
        const int number = j == 3 && !fourth_given ? face.vertices[0] : arg_int(1 + j);
        if (!vertex_in_use(mesh, std::abs(number))) {
            face.vertices[0] = 0;
            return set_error_msg(kMsgMeshVertexUnused, number);
        }
        face.vertices[j] = static_cast<std::int16_t>(number);
    }
    if (!update_mode()) {
        print_symbol_name("%s   ", kCmdMeshFace);
        text_printf("%d", f);
        for (int j = 0; j < (fourth_given ? 4 : 3); ++j) {
            text_spaces(9);
            text_printf("%d", static_cast<int>(face.vertices[j]));
        }
        text_newline();
    }
    return 0;
}

// BDD ALL, BDD VX k, BDD PF f.
int mesh_delete(SurfaceRecord& s) {
    if (s.mesh == nullptr) return set_error_msg(kMsgMeshDeleteMissing);
    SurfaceMesh& mesh = *s.mesh;
    const int mode = arg_int(0);
    const int number = arg_int(1);
    const bool echo = !update_mode();
    if (mode == 1) {
        if (!vertex_in_use(mesh, number)) return set_error_msg(kMsgMeshVertexUnused, number);
        for (int f = 0; f < mesh.face_count; ++f) {
            const MeshFace& face = mesh.faces[f];
            if (face.vertices[0] == 0) continue;
            for (const std::int16_t v : face.vertices) {
                if (std::abs(v) == number) return set_error_msg(kMsgMeshVertexInFace, f + 1);
            }
        }
        mesh.vertices[number - 1].surface_offset = kFreeVertex;
        if (echo) {
            print_symbol_name("%s VX   ", kCmdMeshDelete);
            text_printf("%d\n", number);
        }
        return 0;
    }
    if (mode == 2) {
        if (number < 1 || number > mesh.face_count || mesh.faces[number - 1].vertices[0] == 0) {
            return set_error_msg(kMsgMeshFaceUnused, number);
        }
        mesh.faces[number - 1].vertices[0] = 0;
        if (echo) {
            print_symbol_name("%s PF   ", kCmdMeshDelete);
            text_printf("%d\n", number);
        }
        return 0;
    }
    free_surface_mesh(s);
    if (echo) print_symbol_name("%s ALL\n", kCmdMeshDelete);
    return 0;
}

int drawing_case(int command) {
    if (no_current_surface()) return set_error_msg(kMsgNoCurrentSurface);
    SurfaceRecord& s = surface(current_surface());
    switch (command) {
        case kCmdDrawingSwitch:
            return drawing_switch(arg_int(0));
        case kCmdMeshNew:
            return new_mesh(arg_int(0), arg_int(1));
        case kCmdMeshDelete:
            return mesh_delete(s);
        case kCmdMeshVertex:
        case kCmdMeshFace:
            if (s.mesh == nullptr) return set_error_msg(kMsgMeshMissing);
            return command == kCmdMeshVertex ? mesh_vertex(*s.mesh) : mesh_face(*s.mesh);
        default:
            return 0;
    }
}

}  // namespace

int cmd_perfect_lens() {
    UpdateOutputSwitch output;
    return perfect_lens(current_command());
}

int cmd_spline_profile() {
    int rc = 0;
    {
        UpdateOutputSwitch output;
        rc = spline_case(current_command());
    }
    if (rc != 0 || !update_mode()) return rc;
    return entry_lens_setup();
}

int cmd_drawing_data() {
    UpdateOutputSwitch output;
    return drawing_case(current_command());
}
