// The CAD exports of a 10-element lens (20 spheres) with three ray sets of 11 rays: the DXF and
// the IGES text of its elevation section with the rays, and the DXF of its 3-D model, each
// composed in memory as the export commands compose it; and the whole export command apart,
// with its committed (synced) write into a temporary folder.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_program.h"
#include "drawing/cad_output.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"
#include "trace/drawing_buffers.h"

namespace {

std::vector<std::string> ten_elements() {
    std::vector<std::string> lines = {"LEN NEW \"Ten elements\" 100 21", "EBR 5", "ANG 5", "NXT"};
    for (int k = 1; k <= 10; ++k) {
        if (k == 6) lines.push_back("AST");
        for (const char* line : {"SRF 80 4 N-BK7 12", "RD -120", "TH 1.5", "AIR", "AP 12", "NXT"}) {
            lines.push_back(line);
        }
    }
    for (const char* line : {"DLRI 3", "DLSP 4", "DLNR 0 11", "DLNR 1 11", "DLNR 2 11", "END"}) {
        lines.push_back(line);
    }
    return lines;
}

bool enter(benchmark::State& state) {
    if (!bench_program().ok) {
        state.SkipWithError("the program did not start");
        return false;
    }
    for (const std::string& line : ten_elements()) {
        if (run_command_string(line.c_str(), 0) != 0) {
            state.SkipWithError(("line failed: " + line + ": " + error_text_buffer()).c_str());
            return false;
        }
    }
    return true;
}

// One file's text in memory: the frame of the format around the drawing and its rays.
void compose(benchmark::State& state, int mode, const char* drawing) {
    if (!enter(state)) return;
    StringCadSink sink;
    std::size_t bytes = 0;
    for (auto _ : state) {
        sink.clear();
        cad_output().sink = &sink;
        drawing_buffers().output_mode = mode;
        if (mode == kCadModeDxf) {
            dxf_section(0);
        } else {
            iges_sections(0);
        }
        const int r = run_command_string(drawing, 0);
        if (mode == kCadModeDxf) {
            dxf_section(13);
        } else {
            iges_sections(13);
        }
        drawing_buffers().output_mode = 0;
        cad_output().sink = nullptr;
        if (r != 0) {
            state.SkipWithError(
                (std::string("failed: ") + drawing + ": " + error_text_buffer()).c_str());
            return;
        }
        bytes = sink.text().size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes * state.iterations()));
    state.SetLabel(drawing);
}

void BM_ComposeDxfSection(benchmark::State& state) {
    compose(state, kCadModeDxf, "draw_lens elev 0 0 0 0;draw_field_rays");
}
BENCHMARK(BM_ComposeDxfSection)->Unit(benchmark::kMillisecond);

void BM_ComposeIgesSection(benchmark::State& state) {
    compose(state, kCadModeIges, "draw_lens elev 0 0 0;draw_field_rays");
}
BENCHMARK(BM_ComposeIgesSection)->Unit(benchmark::kMillisecond);

void BM_ComposeDxfModel(benchmark::State& state) {
    compose(state, kCadModeDxf, "draw_lens model 0 0 0 0;draw_field_rays");
}
BENCHMARK(BM_ComposeDxfModel)->Unit(benchmark::kMillisecond);

// The command with its committed write; the file goes into a folder of its own.
void BM_ExportDxfCommitted(benchmark::State& state) {
    if (!enter(state)) return;
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("tavo_cad_bench_" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
    const std::string line = "export_dxf elev 0 0 0 0 \"" + (folder / "ten.dxf").string() + "\"";
    for (auto _ : state) {
        if (run_command_string(line.c_str(), 0) != 0) {
            state.SkipWithError(("failed: " + line + ": " + error_text_buffer()).c_str());
            break;
        }
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}
BENCHMARK(BM_ExportDxfCommitted)->Unit(benchmark::kMillisecond);

}  // namespace
