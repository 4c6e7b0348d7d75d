// A long console session as a script runs it: the installed program (TAVO_UI=console) reads the
// Cooke triplet and then N spot-diagram report pages from its standard input. Two sessions, of N
// and of N + 100 pages, give what the 100 more pages add to the peak memory of the process
// (peak_growth_MB) and the time a page takes in each half of the longer session
// (ms_per_page_first, ms_per_page_last): flat memory and flat time are what a long script needs.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_program.h"

namespace {

namespace fs = std::filesystem;

struct SessionFigures {
    bool ok = false;
    double peak_mb = 0;
    double seconds = 0;
};

// The lens typed, then `pages` report pages; the times of the lines are the session's own.
std::string session_script(int pages) {
    CookeTriplet t;
    t.wavelengths = "0.58756 0.48613 0.65627";
    t.beam_radius = 10.0;
    t.field_angle = 20.0;
    t.plot_apertures = true;
    std::string script;
    for (const std::string& line : cooke_triplet_lines(t)) script += line + "\n";
    script += "END\n";
    for (int k = 0; k < pages; ++k) script += "report_spot 1 0.2 0 0\n";
    return script;
}

// Runs the program on the script; its peak resident memory and its wall time.
SessionFigures run_session(const fs::path& folder, int pages) {
    SessionFigures figures;
    const fs::path script = folder / ("pages" + std::to_string(pages) + ".txt");
    std::ofstream(script) << session_script(pages);
    const std::string program = std::string(TAVO_INSTALL_DIR) + "/tavolt";
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0) return figures;
    if (child == 0) {
        const int in = ::open(script.c_str(), O_RDONLY);
        const int out = ::open("/dev/null", O_WRONLY);
        if (in < 0 || out < 0) ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::setenv("TAVO_UI", "console", 1);
        ::setenv("TVDATA", folder.c_str(), 1);
        ::setenv("TAVO_PROFILE", (folder / "profile.ini").c_str(), 1);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) != child) return figures;
    figures.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
    figures.ok = WIFEXITED(status);
    return figures;
}

void BM_ConsoleSessionOfSpotPages(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    const fs::path folder = fs::temp_directory_path() / "tavo-session-bench";
    fs::create_directories(folder);
    SessionFigures shorter;
    SessionFigures longer;
    for (auto _ : state) {
        shorter = run_session(folder, pages);
        longer = run_session(folder, pages + 100);
        if (!shorter.ok || !longer.ok) {
            state.SkipWithError("the program did not end cleanly");
            return;
        }
    }
    // The session without pages: the start and the lens, taken off both.
    const SessionFigures bare = run_session(folder, 0);
    const double first = (shorter.seconds - bare.seconds) / pages;
    const double last = (longer.seconds - shorter.seconds) / 100.0;
    state.counters["peak_MB"] = longer.peak_mb;
    state.counters["peak_growth_MB"] = longer.peak_mb - shorter.peak_mb;
    state.counters["ms_per_page_first"] = first * 1000.0;
    state.counters["ms_per_page_last"] = last * 1000.0;
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}
BENCHMARK(BM_ConsoleSessionOfSpotPages)->Arg(100)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
