// Lens files as a user meets them: lenses typed, saved with save_as, reopened with open and
// saved again; the header sums checked against a CRC written here; damaged, hostile and old
// files; failed saves; the recent files and the question before a changed lens is dropped.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "lens/lens_data.h"
#include "lens/lens_file_commands.h"
#include "lens/lens_file_format.h"
#include "lens/lens_reader.h"
#include "lens/optimise_links.h"
#include "lens/surface_tolerances.h"
#include "runtime/program_arguments.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "tests/entry/entry_fixture.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;
using entry_test::Entry;

// CRC-16 with polynomial 0x1021, start 0, no reflection, computed from a 256-entry table built
// here (the program steps bit by bit).
std::uint16_t table_crc(std::uint16_t crc, const std::string& bytes) {
    static std::uint16_t table[256];
    static bool built = false;
    if (!built) {
        for (unsigned b = 0; b < 256; ++b) {
            unsigned r = b << 8;
            for (int k = 0; k < 8; ++k) r = (r & 0x8000u) ? ((r << 1) ^ 0x1021u) : (r << 1);
            table[b] = static_cast<std::uint16_t>(r & 0xFFFFu);
        }
        built = true;
    }
    for (const unsigned char c : bytes) {
        crc = static_cast<std::uint16_t>((crc << 8) ^ table[((crc >> 8) ^ c) & 0xFFu]);
    }
    return crc;
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The three sums of a file's lines by the sections of the format: LEN from "LEN NEW" through
// the "END " line with the image surface and again from "VAR NEW" on, OPE from "OPE NEW" to its
// "END", OPC everything else after the lens; the header and the comment in none. Each line is
// followed by a carriage return.
LensSums section_sums(const std::vector<std::string>& lines) {
    LensSums sums;
    int section = 0;
    for (std::size_t k = 1; k < lines.size(); ++k) {
        const std::string& line = lines[k];
        if (section == 0 && line.rfind("LEN NEW", 0) == 0) section = 1;
        if (section == 0) continue;  // the comment line
        if (line.rfind("VAR NEW", 0) == 0) section = 1;
        if (line.rfind("OPE NEW", 0) == 0) section = 2;
        std::uint16_t& reg = section == 1 ? sums.len : section == 2 ? sums.ope : sums.opc;
        reg = table_crc(reg, line + "\r");
        if (section == 1 && line.rfind("END ", 0) == 0) section = 3;
    }
    return sums;
}

class LensFiles : public Entry {
protected:
    void SetUp() override {
        Entry::SetUp();
        folder_ = run_.tree.base() / "lenses";
        fs::create_directories(folder_);
    }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    std::string file(const std::string& name) const { return tavo_test::read_file(folder_ / name); }
    std::string setting(int id) const {
        const char* text = get_setting_text(id, 0);
        return text != nullptr ? text : "";
    }
    // Writes a file of lines into the lens folder.
    std::string write(const std::string& name, const std::vector<std::string>& lines) const {
        std::ofstream out(folder_ / name, std::ios::binary);
        for (const std::string& line : lines) out << line << "\n";
        return path(name);
    }
    platform::ConsoleBackend& console() { return ui(); }
    // Saves the lens as name.len, reads it back into a new lens (no line may fail) and saves it
    // again as name_again.len, which must hold the same bytes; the saved text goes to *saved.
    // Callers wrap the call in ASSERT_NO_FATAL_FAILURE.
    void round_trip(const std::string& name, std::string* saved = nullptr) {
        ASSERT_EQ(run("save_as . " + path(name + ".len")), 0) << error_text();
        ASSERT_EQ(run("LEN NEW"), 0);
        ASSERT_EQ(run("END"), 0);
        take_output();
        ASSERT_EQ(run("open . " + path(name + ".len") + " no"), 0) << error_text();
        EXPECT_EQ(take_output().find("Error at line"), std::string::npos);
        ASSERT_EQ(run("save_as . " + path(name + "_again.len")), 0) << error_text();
        const std::string first = file(name + ".len");
        EXPECT_FALSE(first.empty());
        EXPECT_EQ(file(name + "_again.len"), first);
        if (saved != nullptr) *saved = first;
    }

    fs::path folder_;
};

TEST_F(LensFiles, CrcHeaderAndQuotedTexts) {
    // The published check value of this CRC over "123456789".
    std::uint16_t reg = 0;
    for (const char c : std::string("123456789"))
        reg = lens_crc16(reg, static_cast<unsigned char>(c));
    EXPECT_EQ(reg, 0x31C3);
    EXPECT_EQ(table_crc(0, "123456789"), 0x31C3);

    EXPECT_EQ(lens_header_line({}), "// TAVO 5.40     0     0     0");
    EXPECT_EQ(lens_header_line({65535, 65535, 65535}).size(), lens_header_line({}).size());

    struct Case {
        const char* line;
        bool header;
        const char* version;
        LensSums sums;
    };
    const Case cases[] = {
        {"// TAVO 5.40 12 0 65535", true, "5.40", {12, 0, 65535}},
        {"// TAVO 5.20     1     2     3", true, "5.20", {1, 2, 3}},
        // The old form counts as version 3.00 whatever it says.
        {"TAVO 3.00 1 2 3", true, "3.00", {1, 2, 3}},
        {"TAVO 5.40 1 2 3", true, "3.00", {1, 2, 3}},
        {"LEN NEW", false, "", {}},
        {"// tavo lens", false, "", {}},
        {"", false, "", {}},
    };
    for (const Case& c : cases) {
        LensHeader h;
        EXPECT_EQ(parse_lens_header(c.line, &h), c.header) << c.line;
        if (!c.header) continue;
        EXPECT_EQ(h.version, c.version) << c.line;
        EXPECT_EQ(h.sums, c.sums) << c.line;
    }

    EXPECT_EQ(quote_lens_text("a \"b\" c\\"), "\"a \\\"b\\\" c\\\\\"");
}

TEST_F(LensFiles, SmallLensEqualsHandWrittenFile) {
    run_all({"LEN NEW \"Golden\"", "EBR 5", "NXT", "RD 50", "TH 5", "GLA N-BK7", "NXT", "TH 95",
             "NXT", "END"});
    ASSERT_EQ(run("save_as . " + path("golden")), 0) << error_text();
    // A plano-convex lens with its flat side to the image: f = R / (n - 1) with the index of
    // N-BK7 at 0.58756 um, 1.5168: 50 / 0.5168 = 96.749 to five digits.
    const std::vector<std::string> body = {
        "LEN NEW \"Golden\" 96.749 3",
        "EBR  5.0",
        // The designer of a new lens is the program's default one.
        "DES  \"TAVO\"",
        "UNI  1.0",
        "WV 0.58756 0.48613 0.65627",
        "WW 1.0 1.0 1.0",
        "// SRF 0",
        "AIR ",
        "TH   1.0e+20",
        "NXT  // SRF 1",
        "GLA N-BK7",
        "RD   50.0",
        "TH   5.0",
        "NXT  // SRF 2",
        "AIR ",
        "TH   95.0",
        "NXT  // SRF 3",
        "AIR ",
        "END  3",
    };
    std::vector<std::string> lines = {"header"};
    lines.insert(lines.end(), body.begin(), body.end());
    const LensSums sums = section_sums(lines);
    EXPECT_EQ(sums.ope, 0);
    EXPECT_EQ(sums.opc, 0);
    std::string expected = lens_header_line(sums) + "\n";
    for (const std::string& line : body) expected += line + "\n";
    EXPECT_EQ(file("golden.len"), expected);
    EXPECT_EQ(setting(kSetLensFile), path("golden.len"));
}

// Every kind of data the entry commands set that the writer carries, saved, reopened and saved
// again: the same bytes and the same indices at every wavelength.
TEST_F(LensFiles, SavedLensReopensAndSavesToTheSameBytes) {
    run_all({"LEN NEW \"Round \\\"trip\\\" \\\\ lens\"",
             "EBR 6.25",
             "ANG 14",
             "TEM 25",
             "PRE 0.95",
             "SNO1 \"first \\\"note\\\"\"",
             "SNO10 \"ends in a backslash \\\\\"",
             "WV 0.58756 0.48613 0.65627 0.4358 0.70652 0.40466 1.01398",
             "WW 1 0.5 0.5 0.25 0.25 0.1 0.1",
             "NXT",
             "RD 40",
             "TH 6",
             "GLA N-SK16",
             "AP CHK 11",
             "CC -0.5",
             "NOT \"a note \\\"quoted\\\"\"",
             "AD 1e-5",
             "AE -2e-8",
             "TCE 80",
             "NXT",
             "RD -150",
             "TH 2",
             "GLA MOD \"M1\" 1.6 40",
             "ASP ASR 8",
             "AS2 1e-4",
             "AS4 3e-9",
             "NXT",
             "RD -60",
             "PY 0.2",
             "ASP ISR 6",
             "AT3 0.001",
             "DT 1",
             "DCY 0.5",
             "TLA 2",
             "NXT",
             "TH 3",
             "GLA \"M2\" 1.7 1.71 1.69 1.712 1.695 1.72 1.68",
             "AST",
             "NXT",
             "PK CV -2 1.0",
             "PK TH -3 0",
             "PK GLA -3",
             "NXT",
             "PU -0.1",
             "TH 10",
             "ASP CNR 5",
             "CNS 0.3",
             "AT4 0.01",
             "RCO -2",
             "NXT",
             "RFL",
             "TH -10",
             "NXT",
             "TH 40",
             "FRN FRESNEL",
             "TIR YES",
             "NXT",
             "END"});
    const auto indices = [] {
        std::vector<double> v;
        for (int n = 0; n <= lens_data().image_surface; ++n) {
            for (int w = 0; w < lens_data().wavelength_count; ++w) v.push_back(surface(n).index[w]);
        }
        return v;
    };
    const std::vector<double> indices_before = indices();
    std::string first;
    ASSERT_NO_FATAL_FAILURE(round_trip("first", &first));
    EXPECT_EQ(indices(), indices_before);
    EXPECT_EQ(lens_data().wavelength_count, 7);
    // The special data came back where it was entered.
    ASSERT_NE(surface(1).asphere, nullptr);
    EXPECT_EQ(surface(1).asphere->entered[2], 1e-5);
    EXPECT_EQ(surface(1).medium_tce, 80.0);
    ASSERT_NE(surface(2).asphere, nullptr);
    EXPECT_EQ(surface(2).asphere->kind, kAsphereSeries);
    EXPECT_EQ(surface(2).asphere->entered[4], 3e-9);
    ASSERT_NE(surface(3).decentre, nullptr);
    EXPECT_EQ(surface(3).decentre->dcy, 0.5);
    EXPECT_EQ(surface(3).decentre->tla, 2.0);
    ASSERT_NE(surface(6).return_coordinates, nullptr);
    EXPECT_EQ(surface(6).return_coordinates->pickup_source, 4);
    ASSERT_NE(surface(6).asphere, nullptr);
    EXPECT_EQ(surface(6).asphere->entered[0], 0.3);

    // The header's sums are the CRCs of the sections; sums-only gives them too, and a comment
    // line changes none of them.
    const std::vector<std::string> lines = split_lines(first);
    LensHeader header;
    ASSERT_TRUE(parse_lens_header(lines.at(0), &header));
    EXPECT_EQ(header.sums, section_sums(lines));
    EXPECT_EQ(lens_sums_in_memory(), header.sums);
    LensSums commented;
    int failure = 0;
    const std::string with_comment = lens_file_text("/some/lens.len", &commented, &failure);
    EXPECT_EQ(failure, 0);
    EXPECT_EQ(commented, header.sums);
    EXPECT_EQ(split_lines(with_comment).at(1), "// /some/lens.len");
    // No line reaches the limit; the long wavelength list went onto numbered lines only when
    // the first one was full.
    for (const std::string& line : lines) EXPECT_LE(line.size(), kLensLineLimit) << line;
}

TEST_F(LensFiles, DrawingSpotAndOptimisationSettingsFormTheirOwnSection) {
    run_all({"LEN NEW", "NXT", "RD 50", "TH 5", "GLA N-BK7", "NXT", "TH 90", "DLNF 2", "DLFP 1 1.0",
             "SDAD 20", "OPDF 0.01", "END"});
    std::string saved;
    ASSERT_NO_FATAL_FAILURE(round_trip("settings", &saved));
    const std::vector<std::string> lines = split_lines(saved);
    LensHeader header;
    ASSERT_TRUE(parse_lens_header(lines.at(0), &header));
    EXPECT_NE(header.sums.opc, 0);
    EXPECT_EQ(header.sums, section_sums(lines));
    ASSERT_NE(lens_data().drawing_conditions, nullptr);
    EXPECT_EQ(lens_data().drawing_conditions->row_count, 2);
    EXPECT_EQ(lens_data().drawing_conditions->rows[1].field_fraction, 1.0);
    ASSERT_NE(lens_data().spot_settings, nullptr);
    EXPECT_EQ(lens_data().spot_settings->aperture_divisions, 20.0);
    ASSERT_NE(lens_data().optimise_params, nullptr);
    EXPECT_EQ(lens_data().optimise_params->damping, 0.01);
    EXPECT_EQ(lens_sums_in_memory(), header.sums);
}

TEST_F(LensFiles, DamagedAndHostileFiles) {
    const std::string hostile_lines[] = {
        "exit",  "set_setting 20 0", "private_glass 0 0 X 1.5", "help",
        "x = 3", "while (1) {}",     "open . other no",         std::string(300, 'A'),
    };
    for (const std::string& bad : hostile_lines) {
        const std::string name =
            write("hostile.len", {"// TAVO 5.40 0 0 0", "LEN NEW \"H\" 0 3", "NXT", "RD 50", bad,
                                  "TH 7", "NXT", "NXT", "END 3"});
        take_output();
        EXPECT_EQ(run("open . " + name + " no"), 0) << bad;
        const std::string shown = bad.size() > 60 ? bad.substr(0, 60) + "..." : bad;
        EXPECT_NE(take_output().find("Error at line 5:\n  " + shown), std::string::npos) << bad;
        EXPECT_EQ(surface(1).curvature, 1.0 / 50) << bad;
        EXPECT_EQ(surface(1).thickness, 7.0) << bad;
        EXPECT_EQ(lens_data().image_surface, 3) << bad;
        EXPECT_EQ(get_setting_flag(kSetOutputOn), 1) << bad;
    }

    struct Case {
        std::vector<std::string> lines;
        int result;
        const char* error;
    };
    const Case cases[] = {
        {{"LEN NEW \"No header\" 0 2", "NXT", "END 2"},
         kErrorTextReady,
         "This is not a lens file: its first line does not name TAVO"},
        {{"// TAVO 5.40 0 0 0", "LEN NEW \"Huge\" 0 9999", "END 9999"},
         kErrorTextReady,
         "The lens cannot hold more than 12 surfaces"},
        // A first line that names the program in any of its three forms is skipped.
        {{"// a tavo lens", "LEN NEW \"Plain\" 0 2", "NXT", "TH 3", "NXT", "END 2"}, 0, ""},
        {{}, 0, ""},
    };
    for (const Case& c : cases) {
        const std::string before = setting(kSetLensFile);
        const std::string name = write("case.len", c.lines);
        EXPECT_EQ(run("open . " + name + " no"), c.result) << c.lines.size();
        if (c.result != 0) {
            EXPECT_EQ(error_text().rfind(c.error, 0), 0u) << error_text();
            EXPECT_EQ(setting(kSetLensFile), before);
        } else {
            EXPECT_EQ(setting(kSetLensFile), name);
        }
    }
    EXPECT_EQ(run("open . " + path("missing") + " no"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The lens file " + path("missing.len") + " cannot be read");
}

TEST_F(LensFiles, AFailingVariablesSectionIsSkippedToItsEnd) {
    const std::string name =
        write("sections.len",
              {"// TAVO 5.40 0 0 0", "LEN NEW \"S\" 0 2", "NXT", "TH 4", "NXT", "END 2", "VAR NEW",
               "V 1 9 0 TH 0 10 1 0", "TH 99", "V 2 1 0 TH", "END", "LEN", "OPDF 0.02", "END"});
    take_output();
    ASSERT_EQ(run("open . " + name + " no"), 0) << error_text();
    const std::string out = take_output();
    // A line of the section fails (surface 9 lies past the image); its other lines up to
    // "END" are skipped unrun.
    EXPECT_NE(out.find("Error at line 8:\n  V 1 9 0 TH 0 10 1 0"), std::string::npos) << out;
    EXPECT_EQ(out.find("line 9"), std::string::npos) << out;
    EXPECT_EQ(out.find("line 10"), std::string::npos) << out;
    EXPECT_EQ(surface(1).thickness, 4.0);
    EXPECT_EQ(optimise_highest_variable(), -1);
    ASSERT_NE(lens_data().optimise_params, nullptr);
    EXPECT_EQ(lens_data().optimise_params->damping, 0.02);
}

TEST_F(LensFiles, OldFilesDrawThreeRaySets) {
    struct Case {
        const char* version;
        std::vector<std::string> settings;
        int rows;
        double fields[3];
        int counts[3];
    };
    const Case cases[] = {
        // Two sets, the second at the full field: it moves to third place behind a new 0.7.
        {"5.20", {"DLNF 2", "DLFP 1 1.0", "DLNR 1 5"}, 3, {0.0, 0.7, 1.0}, {3, 0, 5}},
        // One set: the other two are those of a new lens.
        {"5.20", {"DLNF 1"}, 3, {0.0, 0.7, 1.0}, {3, 0, 1}},
        {"5.40", {"DLNF 2", "DLFP 1 1.0", "DLNR 1 5"}, 2, {0.0, 1.0, 0.0}, {3, 5, 0}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines = {std::string("// TAVO ") + c.version + " 0 0 0",
                                          "LEN NEW \"Old\" 0 2", "NXT", "TH 4", "NXT"};
        lines.insert(lines.end(), c.settings.begin(), c.settings.end());
        lines.push_back("END 2");
        ASSERT_EQ(run("open . " + write("old.len", lines) + " no"), 0) << error_text();
        const DrawingConditions* d = lens_data().drawing_conditions;
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->row_count, c.rows) << c.version;
        for (int k = 0; k < c.rows; ++k) {
            EXPECT_EQ(d->rows[k].field_fraction, c.fields[k]) << c.version << " row " << k;
            EXPECT_EQ(d->rows[k].ray_count, c.counts[k]) << c.version << " row " << k;
        }
    }
}

TEST_F(LensFiles, FailedSavesKeepTheOldFileAndTheLensFileName) {
    run_all({"LEN NEW \"Kept\"", "NXT", "TH 5", "NXT", "END"});
    ASSERT_EQ(run("save_as . " + path("kept")), 0) << error_text();
    const std::string kept = file("kept.len");
    run_all({"LEN", "GTO 1", "TH 6", "END"});

    // A folder that does not exist, and a target that is a folder: the rename cannot replace it.
    fs::create_directories(folder_ / "taken.len");
    const std::string targets[] = {path("nowhere/x.len"), path("taken.len")};
    for (const std::string& target : targets) {
        EXPECT_EQ(run("save_as . " + target), kErrorTextReady) << target;
        EXPECT_EQ(error_text().rfind("The lens file " + target + " cannot be written (", 0), 0u)
            << error_text();
        // Neither target was a file: there is no old file to keep.
        EXPECT_EQ(error_text().back(), ')') << error_text();
        EXPECT_EQ(error_text().find("old file"), std::string::npos) << error_text();
        EXPECT_EQ(setting(kSetLensFile), path("kept.len"));
        EXPECT_EQ(setting(kSettingRecentFirst), path("kept.len"));
    }
    EXPECT_TRUE(fs::is_directory(folder_ / "taken.len"));
    EXPECT_FALSE(fs::exists(folder_ / "nowhere"));
    EXPECT_EQ(file("kept.len"), kept);
    // Nothing of a temporary file is left beside the target.
    int entries = 0;
    for (const auto& e : fs::directory_iterator(folder_))
        entries += e.path().filename() != "" ? 1 : 0;
    EXPECT_EQ(entries, 2);
}

TEST_F(LensFiles, RecentFilesKeepFourDistinctEntries) {
    for (int k = 0; k < kRecentFileCount; ++k) set_setting_text(kSettingRecentFirst + k, "", 0);
    struct Step {
        const char* path;
        std::vector<std::string> after;
    };
    const Step steps[] = {
        {"/a.len", {"/a.len", "", "", ""}},
        {"/b.len", {"/b.len", "/a.len", "", ""}},
        {"/c.len", {"/c.len", "/b.len", "/a.len", ""}},
        {"/d.len", {"/d.len", "/c.len", "/b.len", "/a.len"}},
        // A fifth pushes the oldest out.
        {"/e.len", {"/e.len", "/d.len", "/c.len", "/b.len"}},
        // The third again moves to the top; case does not make it another file.
        {"/C.LEN", {"/C.LEN", "/e.len", "/d.len", "/b.len"}},
        {"/C.LEN", {"/C.LEN", "/e.len", "/d.len", "/b.len"}},
        {"/b.len", {"/b.len", "/C.LEN", "/e.len", "/d.len"}},
    };
    for (const Step& s : steps) {
        update_mru_list(s.path);
        std::vector<std::string> now;
        for (int k = 0; k < kRecentFileCount; ++k) now.push_back(setting(kSettingRecentFirst + k));
        EXPECT_EQ(now, s.after) << s.path;
    }
}

TEST_F(LensFiles, PathsFromFolderAndName) {
    set_setting_text(kSetCurrentDirectory, "/work/lenses", 0);
    struct Case {
        const char* folder;
        const char* name;
        bool tav;
        const char* path;
    };
    const Case cases[] = {
        {".", "triplet", false, "/work/lenses/triplet.len"},
        {".", "triplet", true, "/work/lenses/triplet.tav"},
        {".", "triplet.LEN", true, "/work/lenses/triplet.LEN"},
        {".", "/abs/x", false, "/abs/x.len"},
        {".", "\\abs\\y.len", false, "/abs/y.len"},
        {".", "C:\\d\\z.len", false, "C:/d/z.len"},
        {"sub", "p.len", false, "/work/lenses/sub/p.len"},
        {"/other/", "q", false, "/other/q.len"},
        {".", "v1.2/name", false, "/work/lenses/v1.2/name.len"},
    };
    for (const Case& c : cases) {
        set_setting_flag(kSetTavLensFileExtension, c.tav ? 1 : 0);
        EXPECT_EQ(lens_file_path(c.folder, c.name), c.path) << c.name;
    }
    set_setting_flag(kSetTavLensFileExtension, 0);
}

TEST_F(LensFiles, AChangedLensIsOfferedForSavingFirst) {
    // The untouched start-up lens asks nothing.
    const std::size_t boxes = console().message_boxes_shown().size();
    EXPECT_EQ(save_if_changed(), 0);
    EXPECT_EQ(console().message_boxes_shown().size(), boxes);

    run_all({"LEN NEW \"Asked\"", "NXT", "TH 5", "NXT", "END"});
    ASSERT_EQ(run("save_as . " + path("asked")), 0) << error_text();
    // Just saved: no question.
    EXPECT_EQ(save_if_changed(), 0);
    EXPECT_EQ(console().message_boxes_shown().size(), boxes);

    run_all({"LEN", "GTO 1", "TH 6", "END"});
    struct Case {
        platform::MessageAnswer answer;
        int result;
    };
    const Case cases[] = {{platform::MessageAnswer::cancel, kStopped},
                          {platform::MessageAnswer::no, 1}};
    for (const Case& c : cases) {
        console().queue_message_box_answer(c.answer);
        const std::size_t shown = console().message_boxes_shown().size();
        EXPECT_EQ(save_if_changed(), c.result);
        ASSERT_EQ(console().message_boxes_shown().size(), shown + 1);
        EXPECT_EQ(console().message_boxes_shown().back().text,
                  "The lens has changed since it was opened or saved. Save it?");
    }
    // Exit with Cancel: the program goes on and the settings file is not written.
    fs::remove(run_.ini_path());
    console().queue_message_box_answer(platform::MessageAnswer::cancel);
    EXPECT_EQ(exit_hook(), kStopped);
    EXPECT_FALSE(fs::exists(run_.ini_path()));
    // Yes saves to the lens file; then nothing is asked any more.
    console().queue_message_box_answer(platform::MessageAnswer::yes);
    EXPECT_EQ(save_if_changed(), 0);
    EXPECT_NE(file("asked.len").find("TH   6.0"), std::string::npos);
    const std::size_t after = console().message_boxes_shown().size();
    EXPECT_EQ(save_if_changed(), 0);
    EXPECT_EQ(console().message_boxes_shown().size(), after);

    // A file of an older version, changed: the other question.
    const std::string old = write(
        "old.len", {"// TAVO 5.20 0 0 0", "LEN NEW \"Old\" 0 2", "NXT", "TH 4", "NXT", "END 2"});
    ASSERT_EQ(run("open . " + old + " no"), 0) << error_text();
    console().queue_message_box_answer(platform::MessageAnswer::no);
    EXPECT_EQ(save_if_changed(), 1);
    EXPECT_EQ(console().message_boxes_shown().back().text,
              "The lens has changed and was not saved by this version. Save it?");

    // open with "yes" asks first; Cancel leaves the lens as it is.
    console().queue_message_box_answer(platform::MessageAnswer::cancel);
    EXPECT_EQ(run("open . " + path("asked") + " yes"), 0) << error_text();
    EXPECT_EQ(setting(kSetLensFile), old);
}

}  // namespace

namespace {

TEST_F(LensFiles, RevertReadsTheLensFileAgain) {
    run_all({"LEN NEW \"Revert\"", "NXT", "TH 5", "NXT", "END"});
    ASSERT_EQ(run("save_as . " + path("revert")), 0) << error_text();
    run_all({"LEN", "GTO 1", "TH 9", "END"});
    console().queue_message_box_answer(platform::MessageAnswer::no);
    ASSERT_EQ(run("revert"), 0) << error_text();
    EXPECT_EQ(surface(1).thickness, 5.0);
    EXPECT_EQ(setting(kSetLensFile), path("revert.len"));
    EXPECT_EQ(test_state_flag(kFlagRevertRestored), 0);
    // Cancel keeps the changed lens.
    run_all({"LEN", "GTO 1", "TH 9", "END"});
    console().queue_message_box_answer(platform::MessageAnswer::cancel);
    ASSERT_EQ(run("revert"), 0) << error_text();
    EXPECT_EQ(surface(1).thickness, 9.0);

    set_setting_text(kSetLensFile, "", 0);
    EXPECT_EQ(run("revert"), kErrorTextReady);
    EXPECT_EQ(error_text(), "The lens has no lens file to revert to");
}

TEST_F(LensFiles, RevertCopiesPutTheLensBack) {
    constexpr int kCopy = -270;  // any message text names the copy
    run_all({"LEN NEW \"Copy\"", "NXT", "TH 5", "NXT", "END"});
    ASSERT_EQ(run("save_as . " + path("copied")), 0) << error_text();
    const std::string copy = revert_copy_path(kCopy);

    // Without Revert_enable nothing is kept and everything counts as unchanged.
    set_setting_flag(kSetRevertEnable, 0);
    EXPECT_EQ(revert_copy_save(kCopy), 0);
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_EQ(revert_copy_unchanged(kCopy), 1);

    set_setting_flag(kSetRevertEnable, 1);
    EXPECT_EQ(revert_copy_save(kCopy), 0);
    ASSERT_TRUE(fs::exists(copy));
    // The copy names the lens file on its comment line and carries the lens's sums.
    EXPECT_EQ(split_lines(tavo_test::read_file(copy)).at(1), "// " + path("copied.len"));
    const std::size_t boxes = console().message_boxes_shown().size();
    EXPECT_EQ(revert_copy_unchanged(kCopy), 1);
    EXPECT_EQ(console().message_boxes_shown().size(), boxes);

    run_all({"LEN", "GTO 1", "TH 8", "END"});
    set_setting_text(kSetLensFile, "/elsewhere.len", 0);
    console().queue_message_box_answer(platform::MessageAnswer::cancel);
    EXPECT_EQ(revert_copy_unchanged(kCopy), kStopped);
    EXPECT_EQ(console().message_boxes_shown().size(), boxes + 1);

    // Mode -1 restores and keeps the copy; mode 1 restores and deletes it; mode 0 deletes.
    ASSERT_EQ(revert_copy_restore(kCopy, -1), 0) << error_text();
    EXPECT_EQ(surface(1).thickness, 5.0);
    EXPECT_EQ(setting(kSetLensFile), path("copied.len"));
    EXPECT_TRUE(fs::exists(copy));
    run_all({"LEN", "GTO 1", "TH 8", "END"});
    ASSERT_EQ(revert_copy_restore(kCopy, 1), 0) << error_text();
    EXPECT_EQ(surface(1).thickness, 5.0);
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_EQ(revert_copy_save(kCopy), 0);
    EXPECT_EQ(revert_copy_restore(kCopy, 0), 0);
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_EQ(test_state_flag(kFlagRevertRestored), 0);
    set_setting_flag(kSetRevertEnable, 0);
}

}  // namespace

namespace {

TEST_F(LensFiles, AperturesTorusAndHologramComeBack) {
    run_all({"LEN NEW \"Apertures\"",
             "EBR 5",
             "NXT",
             "RD 50",
             "TH 5",
             "GLA N-BK7",
             "APN 2",
             "AY1 A -3",
             "AY2 A 3",
             "AX1 A -4",
             "AX2 A 4",
             "AAN A 10",
             "ATP A 2",
             "AAC A OBS",
             "ATP B 3",
             "AVX1 B 0",
             "AVY1 B 0",
             "AVX2 B 1",
             "AVY2 B 0",
             "AVX3 B 0",
             "AVY3 B 1",
             "AGN B 2",
             "NXT",
             "RD -50",
             "TH 10",
             "CVX 0.01",
             "NXT",
             "TH 5",
             "HV1 1",
             "HV2 0",
             "HOR 1",
             "HWV 0.6328",
             "HZ1 -100",
             "HZ2 100",
             "NXT",
             "TH 20",
             "NXT",
             "END"});
    ASSERT_NO_FATAL_FAILURE(round_trip("special"));

    const SurfaceRecord& s1 = surface(1);
    ASSERT_EQ(s1.special_aperture_count, 2);
    const SpecialAperture& a = s1.special_apertures[0];
    EXPECT_EQ(a.shape, kApertureRectangle);
    EXPECT_EQ(a.action, kActionObstruct);
    EXPECT_EQ(a.y[0], -3.0);
    EXPECT_EQ(a.x[1], 4.0);
    EXPECT_EQ(a.angle, 10.0);
    const SpecialAperture& b = s1.special_apertures[1];
    EXPECT_EQ(b.shape, kApertureTriangle);
    EXPECT_EQ(b.group, 2);
    EXPECT_EQ(b.x[1], 1.0);
    EXPECT_EQ(b.y[2], 1.0);
    EXPECT_NE(surface(2).toric, 0);
    EXPECT_EQ(surface(2).x_curvature, 0.01);
    ASSERT_NE(surface(3).hologram, nullptr);
    EXPECT_EQ(surface(3).hologram->first_point_virtual, 1);
    EXPECT_EQ(surface(3).hologram->wavelength, 0.6328);
    EXPECT_EQ(surface(3).hologram->second_point[2], 100.0);
}

}  // namespace

namespace {

// Old files gave a surface its indices on a TN5 line, before the wavelengths they belong to.
TEST_F(LensFiles, OldIndicesBecomeAModelGlassAtTheFilesWavelengths) {
    const std::string name =
        write("tn5.len", {"// TAVO 5.20 0 0 0", "LEN NEW \"Old glass\" 0 4", "NXT", "RD 50", "TH 5",
                          "TN5 1.6 1.61 1.59", "NXT", "TH 2", "GLA N-BK7", "TN5 1.7 1.71 1.69",
                          "NXT", "TH 40", "NXT", "WV 0.5 0.6 0.7", "END 4"});
    take_output();
    ASSERT_EQ(run("open . " + name + " no"), 0) << error_text();
    EXPECT_EQ(take_output().find("Error at line"), std::string::npos);
    EXPECT_EQ(std::string(surface(1).medium_name).rfind("SRF1GL", 0), 0u) << surface(1).medium_name;
    ASSERT_EQ(lens_data().wavelength_count, 3);
    EXPECT_EQ(lens_data().wavelengths[0].wavelength, 0.5);
    EXPECT_NEAR(surface(1).index[0], 1.6, 1e-12);
    EXPECT_NEAR(surface(1).index[1], 1.61, 1e-12);
    EXPECT_NEAR(surface(1).index[2], 1.59, 1e-12);
    // A catalogue glass keeps its own indices.
    EXPECT_EQ(std::string(surface(2).medium_name).rfind("N-BK7", 0), 0u);
}

}  // namespace

namespace {

TEST_F(LensFiles, GradientIndexMediaComeBack) {
    run_all({"LEN NEW \"Grin\"",
             "EBR 5",
             "NXT",
             "RD 50",
             "TH 5",
             "GDT ARG",
             "NZ1 WV1 1.6",
             "NR1 WV1 -0.001",
             "NR2 WV2 1e-6",
             "DTH 0.05",
             "NXT",
             "TH 5",
             "GDT GRD",
             "GWV 0.6",
             "GNZ0 1.5",
             "GRA1 0.01",
             "GRD4 -0.2",
             "NXT",
             "TH 20",
             "NXT",
             "END"});
    ASSERT_NO_FATAL_FAILURE(round_trip("grin"));
    ASSERT_NE(surface(1).grin, nullptr);
    EXPECT_EQ(surface(1).grin->kind, 1);
    EXPECT_EQ(surface(1).grin->step, 0.05);
    EXPECT_EQ(surface(1).grin->coefficients[4][0], 1.6);   // NZ1 at wavelength 1
    EXPECT_EQ(surface(1).grin->coefficients[1][1], 1e-6);  // NR2 at wavelength 2
    ASSERT_NE(surface(2).grin, nullptr);
    EXPECT_EQ(surface(2).grin->kind, 11);
    EXPECT_EQ(surface(2).grin->gwv, 0.6);
    EXPECT_EQ(surface(2).grin->grd[16], 1.5);   // GNZ0
    EXPECT_EQ(surface(2).grin->grd[0], 0.01);   // GRA1
    EXPECT_EQ(surface(2).grin->grd[15], -0.2);  // GRD4
}

}  // namespace

namespace {

// Decentre and diffractive pickups keep their links, and an asphere of paired radial form
// keeps its form, its order and its coefficients.
TEST_F(LensFiles, PickupsAndPairedAspheresComeBack) {
    run_all({"LEN NEW \"Links\"",
             "EBR 4",
             "NXT",
             "RD 50",
             "TH 5",
             "GLA N-BK7",
             "DCY 0.25",
             "TLA 1.5",
             "DOE DFR 4",
             "DF1 -0.002",
             "DOR 1",
             "NXT",
             "RD -60",
             "TH 2",
             "PK TD -1",
             "ASP 101 1004",
             "AS1 3e-5",
             "AS2 -4e-8",
             "NXT",
             "RD 80",
             "TH 3",
             "GLA N-F2",
             "PK TDM 1",
             "PK DFC 1",
             "DOR 2",
             "ASP 101 3005",
             "AS2 1e-6",
             "NXT",
             "RD -90",
             "TH 4",
             "ASP 101 9004",
             "AS4 2e-4",
             "NXT",
             "RD 200",
             "TH 5",
             "ASP 101 0",
             "AD 1e-6",
             "AF -2e-12",
             "NXT",
             "TH 30",
             "ASP 101 11003",
             "AS3 5e-9",
             "NXT",
             "END"});
    std::string saved;
    ASSERT_NO_FATAL_FAILURE(round_trip("links", &saved));
    // The links are written relative to their surface.
    for (const char* line :
         {"\nPK  TD  -1\n", "\nPK  TDM  -2\n", "\nPK  DFC  -2\n", "\nDOR  2\n"}) {
        EXPECT_NE(saved.find(line), std::string::npos) << line;
    }

    struct Link {
        int surface, source, negated;
    };
    for (const Link& c : {Link{2, 1, 1}, Link{3, 1, -1}}) {
        ASSERT_NE(surface(c.surface).decentre, nullptr) << c.surface;
        EXPECT_EQ(surface(c.surface).decentre->pickup_source, c.source) << c.surface;
        EXPECT_EQ(surface(c.surface).decentre->pickup_negated, c.negated) << c.surface;
    }
    // The set-up copies the source's values, negated for TDM.
    EXPECT_DOUBLE_EQ(surface(2).decentre->dcy, 0.25);
    EXPECT_DOUBLE_EQ(surface(3).decentre->tla, -1.5);
    ASSERT_NE(surface(3).diffractive, nullptr);
    EXPECT_EQ(surface(3).diffractive->pickup_source, 1);
    EXPECT_EQ(surface(3).diffraction_order, 2);

    // Form in the thousands of the order; counts: series n/2 + 1, odd n - 2, Zernike and
    // radial n + 1, the even form its six.
    struct Paired {
        int surface, form, count, index;
        double value;
    };
    const Paired cases[] = {
        {2, 1, 3, 2, -4e-8},  {3, 3, 3, 2, 1e-6},  {4, 9, 5, 4, 2e-4},
        {5, 0, 6, 4, -2e-12}, {6, 11, 4, 3, 5e-9},
    };
    for (const Paired& c : cases) {
        const AsphereRecord* a = surface(c.surface).asphere;
        ASSERT_NE(a, nullptr) << c.surface;
        EXPECT_EQ(a->kind, kAsphereBiconicPairs) << c.surface;
        EXPECT_EQ(a->sub_kind, c.form) << c.surface;
        EXPECT_EQ(a->entered_count, c.count) << c.surface;
        EXPECT_EQ(a->entered[c.index], c.value) << c.surface;
    }
    EXPECT_EQ(surface(2).asphere->entered[1], 3e-5);
    EXPECT_EQ(surface(5).asphere->entered[2], 1e-6);
}

TEST_F(LensFiles, DiffractiveSurfacesAndGroupsComeBack) {
    run_all({"LEN NEW \"Doe\"",
             "EBR 5",
             "NXT",
             "RD 50",
             "TH 5",
             "GLA N-BK7",
             "DOE DFR 6",
             "DF1 -0.001",
             "DF3 2e-7",
             "DOR -1",
             "DWV 0.55",
             "NXT",
             "TH 5",
             "ZOE ZRR 8",
             "ZR3 0.01",
             "ZRT On",
             "LMO ELE",
             "LMN \"pair\"",
             "NXT",
             "TH 3",
             "GLA N-F2",
             "LME",
             "NXT",
             "TH 20",
             "NXT",
             "END"});
    ASSERT_NO_FATAL_FAILURE(round_trip("doe"));
    ASSERT_NE(surface(1).diffractive, nullptr);
    EXPECT_EQ(surface(1).diffractive->entered[1], -0.001);
    EXPECT_EQ(surface(1).diffractive->design_wavelength, 0.55);
    EXPECT_EQ(surface(1).diffraction_order, -1);
    ASSERT_NE(surface(2).diffractive, nullptr);
    EXPECT_EQ(surface(2).diffractive->kind, 4);
    EXPECT_NE(surface(2).diffractive->zernike_switch, 0);
    EXPECT_EQ(surface(2).group_kind, kGroupElement);
    EXPECT_EQ(surface(2).group_role, kRoleFirst);
    EXPECT_EQ(std::string(surface(2).group_label).rfind("pair", 0), 0u);
    EXPECT_EQ(surface(3).group_role, kRoleLast);
}

}  // namespace

namespace {

TEST_F(LensFiles, FoldersChangeAndTheOpenDialogOpens) {
    fs::create_directories(folder_ / "sub" / "deeper");
    set_setting_text(kSetCurrentDirectory, folder_.c_str(), 0);
    set_setting_text(kSetCurrentTextDirectory, folder_.c_str(), 0);
    take_output();
    ASSERT_EQ(run("change_folder 1 sub/deeper"), 0) << error_text();
    EXPECT_EQ(setting(kSetCurrentDirectory), path("sub/deeper"));
    EXPECT_EQ(setting(kSetCurrentTextDirectory), folder_.string());
    EXPECT_NE(take_output().find("Current lens directory is " + path("sub/deeper") +
                                 "\nCurrent text directory is " + folder_.string()),
              std::string::npos);
    // Both folders: taken relative to the lens folder.
    ASSERT_EQ(run("change_folder 0 .."), 0) << error_text();
    EXPECT_EQ(setting(kSetCurrentDirectory), path("sub"));
    EXPECT_EQ(setting(kSetCurrentTextDirectory), path("sub"));
    EXPECT_EQ(run("change_folder 1 missing"), kErrorTextReady);
    EXPECT_EQ(error_text(), "There is no folder missing");
    EXPECT_EQ(setting(kSetCurrentDirectory), path("sub"));

    run_all({"LEN NEW \"Chosen\"", "NXT", "TH 6", "NXT", "END"});
    ASSERT_EQ(run("save_as . " + path("sub/deeper/chosen")), 0) << error_text();
    run_all({"LEN NEW", "END"});
    console().queue_dialog_answer(path("sub/deeper/chosen.len"));
    ASSERT_EQ(run("open_lens_dialog"), 0) << error_text();
    EXPECT_EQ(surface(1).thickness, 6.0);
    EXPECT_EQ(setting(kSetCurrentDirectory), path("sub/deeper"));
    // No answer: the dialog is cancelled and nothing changes.
    ASSERT_EQ(run("open_lens_dialog"), 0) << error_text();
    EXPECT_EQ(setting(kSetLensFile), path("sub/deeper/chosen.len"));

    // The Save dialog: with Tav_lens_file_extension a bare name and a ".len" name both get
    // ".tav"; the chosen folder becomes the lens folder. save_as leaves the folder alone.
    set_setting_flag(kSetTavLensFileExtension, 1);
    struct Case {
        const char* answer;
        const char* saved;
    };
    const Case cases[] = {
        {"plain", "plain.tav"}, {"named.LEN", "named.tav"}, {"kept.txt", "kept.txt"}};
    for (const Case& c : cases) {
        console().queue_dialog_answer(path(c.answer));
        ASSERT_EQ(run("file_save_as"), 0) << error_text();
        EXPECT_TRUE(fs::exists(folder_ / c.saved)) << c.saved;
        EXPECT_EQ(setting(kSetLensFile), path(c.saved));
        EXPECT_EQ(setting(kSetCurrentDirectory), folder_.string());
    }
    set_setting_flag(kSetTavLensFileExtension, 0);
    ASSERT_EQ(run("save_as . " + path("sub/elsewhere")), 0) << error_text();
    EXPECT_EQ(setting(kSetCurrentDirectory), folder_.string());
}

}  // namespace

namespace {

// "tavolt ../designs/x.len": the name is the user's, from the folder the program started in,
// though start-up makes the lens folder current before it opens the lens.
TEST_F(LensFiles, ALensNamedOnTheCommandLineIsFoundFromTheStartFolder) {
    run_all({"LEN NEW \"Named\"", "NXT", "TH 7", "NXT", "END"});
    fs::create_directories(folder_ / "designs");
    ASSERT_EQ(run("save_as . " + path("designs/x")), 0) << error_text();
    fs::create_directories(folder_ / "work");
    const fs::path before = fs::current_path();
    fs::current_path(folder_ / "work");
    const char* const argv[] = {"tavolt", "../designs/x.len"};
    set_program_arguments(2, argv);
    // The lens folder is elsewhere and current.
    fs::create_directories(folder_ / "far" / "away");
    set_setting_text(kSetCurrentDirectory, (folder_ / "far" / "away").c_str(), 0);
    run_all({"LEN NEW", "END"});
    const int opened = cmd_open_startup_lens();
    reset_program_arguments();
    fs::current_path(before);
    ASSERT_EQ(opened, 0) << error_text();
    EXPECT_EQ(surface(1).thickness, 7.0);
    EXPECT_EQ(fs::path(setting(kSetLensFile)).lexically_normal(), folder_ / "designs" / "x.len");
}

}  // namespace

namespace {

TEST_F(LensFiles, SplinesAndMeshesComeBack) {
    run_all({"LEN NEW \"Mesh\"",
             "EBR 5",
             "NXT",
             "TH 5",
             "SPL 3",
             "SH 1 2",
             "SH 2 4",
             "SH 3 6",
             "SS 1 0.1",
             "SS 2 0.2",
             "NXT",
             "TH 5",
             "BDI 4 2",
             "VX 1 0 0 0",
             "VX 2 1 0 0",
             "VX 4 1 1 0 1",
             "PF 1 1 2 4",
             "PF 2 2 1 4 1",
             "NXT",
             "TH 20",
             "NXT",
             "END"});
    ASSERT_NO_FATAL_FAILURE(round_trip("mesh"));
    ASSERT_NE(surface(1).spline, nullptr);
    EXPECT_EQ(surface(1).spline->count, 4);
    EXPECT_EQ(surface(1).spline->radius[3], 6.0);
    EXPECT_EQ(surface(1).spline->slope[2], 0.2);
    ASSERT_NE(surface(2).mesh, nullptr);
    const SurfaceMesh& m = *surface(2).mesh;
    EXPECT_EQ(m.vertex_count, 4);
    EXPECT_EQ(m.vertices[1].x, 1.0);
    EXPECT_EQ(m.vertices[3].surface_offset, 1);
    EXPECT_LT(m.vertices[2].surface_offset, 0);  // vertex 3 was never given
    EXPECT_EQ(m.faces[0].vertices[2], 4);
    EXPECT_EQ(m.faces[1].vertices[3], 1);
}

}  // namespace

namespace {

TEST_F(LensFiles, SurfaceTolerancesComeBackWithTheirHolds) {
    run_all({"LEN NEW \"Tol\"", "EBR 5", "NXT", "RD 50", "TH 5", "GLA N-BK7", "THT 0.05",
             "RDT HLD 0.1", "CAA 0.3", "NXT", "TH 20", "NXT", "END"});
    std::string saved;
    ASSERT_NO_FATAL_FAILURE(round_trip("tol", &saved));
    EXPECT_NE(saved.find("\nRDT HLD  0.1\nTHT  0.05\n"), std::string::npos) << saved;
    ASSERT_NE(surface(1).tolerances, nullptr);
    const SurfaceTolerances& t = *surface(1).tolerances;
    EXPECT_EQ(t.values[kTolTht], 0.05);
    EXPECT_EQ(t.switches[kTolTht], 1);
    EXPECT_EQ(t.values[kTolRdt], 0.1);
    EXPECT_EQ(t.switches[kTolRdt], 2);
    EXPECT_EQ(t.values[kTolCaa], 0.3);
}

TEST_F(LensFiles, EveryToleranceLineComesBackByteForByte) {
    run_all({"LEN NEW \"Tol\"",
             "EBR 5",
             "NXT",
             "RD 50",
             "TH 5",
             "GLA N-BK7",
             "TXYC Off",
             "SPT 3",
             "IRT HLD 0.5",
             "RDT 0.1",
             "CCT HLD 0.02",
             "THT 0.05",
             "DZT 0",
             "RNT 0.0005",
             "VNT HLD 0.4",
             "DCT 0.01",
             "DXT 0.02",
             "TLT 0.1",
             "TBT HLD 0.2",
             "CDX 0.03",
             "CDY 0.04",
             "CAA 0.05",
             "CAB HLD 0.06",
             "CCA 0.07",
             "CCB 0.08",
             "NXT",
             "TH 20",
             "RDT HLD 0",
             "THT HLD 0",
             "NXT",
             "END"});
    std::string saved;
    ASSERT_NO_FATAL_FAILURE(round_trip("tol_all", &saved));
    for (const char* line :
         {"\nSPT  3.0\n", "\nIRT HLD  0.5\n", "\nCCT HLD  0.02\n", "\nVNT HLD  0.4\n",
          "\nTBT HLD  0.2\n", "\nCAB HLD  0.06\n", "\nCCB  0.08\n", "\nTHT HLD  0.0\n"}) {
        EXPECT_NE(saved.find(line), std::string::npos) << line << saved;
    }
    // A zero radius, conic, axial or first-form tilt tolerance is no line, held or not.
    EXPECT_EQ(saved.find("DZT"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("RDT HLD  0\n"), std::string::npos) << saved;
    const SurfaceTolerances& t = *surface(1).tolerances;
    EXPECT_EQ(t.switches[kTolIrt], 2);
    EXPECT_EQ(t.values[kTolCcb], 0.08);
    EXPECT_EQ(surface(2).tolerances->switches[kTolTht], 2);
}

}  // namespace

namespace {

// The optimisation code's blocks go into the file in their sections, the lens is written in its
// first configuration, and reading ends with the optimisation code's follow-up.
struct FakeOptimisation {
    static inline int configuration = 2;
    static inline std::vector<int> switches;
    static inline int reads = 0;
};

TEST_F(LensFiles, VariablesAndOperandsTakeTheirSections) {
    OptimiseFileLinks links{};
    links.write_variables = [] {
        write_lens_line("VAR NEW");
        write_lens_line("V 1 1 0 TH 0.0 10.0 1.0 0.0");
        write_lens_line("END");
    };
    links.write_operands = [] {
        write_lens_line("OPE NEW");
        write_lens_line("O 1 \"efl - 50\" 1.0 \"focus\"");
        write_lens_line("END");
    };
    links.current_configuration = [] { return FakeOptimisation::configuration; };
    links.set_configuration = [](int c) {
        FakeOptimisation::configuration = c;
        FakeOptimisation::switches.push_back(c);
    };
    links.after_lens_read = [] { ++FakeOptimisation::reads; };
    FakeOptimisation::configuration = 2;
    FakeOptimisation::switches.clear();
    FakeOptimisation::reads = 0;
    set_optimise_file_links(&links);

    run_all({"LEN NEW \"Optimised\"", "NXT", "TH 5", "NXT", "END"});
    const int saved = run("save_as . " + path("optimised"));
    EXPECT_EQ(FakeOptimisation::switches, (std::vector<int>{1, 2}));
    const int opened = run("open . " + path("optimised") + " no");
    set_optimise_file_links(nullptr);
    ASSERT_EQ(saved, 0) << error_text();
    ASSERT_EQ(opened, 0) << error_text();
    EXPECT_EQ(FakeOptimisation::reads, 1);

    const std::vector<std::string> lines = split_lines(file("optimised.len"));
    LensHeader header;
    ASSERT_TRUE(parse_lens_header(lines.at(0), &header));
    EXPECT_NE(header.sums.ope, 0);
    EXPECT_EQ(header.sums, section_sums(lines));
    EXPECT_EQ(lines.at(lines.size() - 6), "VAR NEW");
    EXPECT_EQ(lines.back(), "END");
}

}  // namespace

namespace {

// The capacity of the wavelength table the program starts with, and the wavelengths the lens
// has.
struct WavelengthCapacity {
    int capacity;
    int count;
};

class ManyWavelengthFiles : public LensFiles,
                            public ::testing::WithParamInterface<WavelengthCapacity> {
protected:
    void SetUp() override {
        run_.tree.write_file("data/tavo.ini", "[Lens]\nMax_wavelengths=" +
                                                  std::to_string(GetParam().capacity) + "\n");
        LensFiles::SetUp();
    }
};

// A model glass with an index at every wavelength is saved, even where its indices do not fit
// on one line, and comes back with every index in place.
TEST_P(ManyWavelengthFiles, ModelGlassAtEveryWavelengthReadsBack) {
    const int count = GetParam().count;
    ASSERT_EQ(max_wavelengths(), GetParam().capacity);
    std::vector<std::string> lines = {"LEN NEW \"Many waves\""};
    std::vector<double> indices;
    for (int k = 1; k <= count; ++k) {
        lines.push_back("WV" + std::to_string(k) + " " + std::to_string(0.4 + 0.01 * k));
        indices.push_back(1.5 + 0.1 * k / 81.0);  // digits enough to fill a line
    }
    // GLA takes up to 24 indices; GLA25 goes on from the 25th.
    std::string glass = "GLA MANYWAVES";
    for (int k = 1; k <= count; ++k) {
        if (k == 25) {
            lines.insert(lines.end(), {"NXT", "SRF 50 5 AIR 10", "GTO 1", glass});
            glass = "GLA25";
        }
        char value[40];
        std::snprintf(value, sizeof value, " %.14f", indices[k - 1]);
        glass += value;
    }
    if (count < 25) lines.insert(lines.end(), {"NXT", "SRF 50 5 AIR 10", "GTO 1"});
    lines.insert(lines.end(), {glass, "NXT", "SRF -50 40 AIR 10", "END"});
    run_all(lines);
    ASSERT_EQ(lens_data().wavelength_count, count);

    std::string saved;
    ASSERT_NO_FATAL_FAILURE(round_trip("many", &saved));
    for (const std::string& line : split_lines(saved))
        EXPECT_LE(line.size(), kLensLineLimit) << line;
    EXPECT_EQ(std::string(surface(1).medium_name), "MANYWAVES ");
    ASSERT_EQ(lens_data().wavelength_count, count);
    for (int w = 0; w < count; ++w) EXPECT_NEAR(surface(1).index[w], indices[w], 1e-12) << w;
}

// Beyond the 24 values of a GLA line the wavelength table can be larger still.
INSTANTIATE_TEST_SUITE_P(Capacities, ManyWavelengthFiles,
                         ::testing::Values(WavelengthCapacity{20, 16}, WavelengthCapacity{24, 24},
                                           WavelengthCapacity{40, 40}));

}  // namespace
