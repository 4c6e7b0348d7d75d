// A lens entered line by line between LEN and END, as a user types it or a lens file holds it:
// what the lens holds afterwards, what the entry echoes, and the first-order data of the result
// against a paraxial trace written here.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "entry/entry_frame.h"
#include "runtime/command_context.h"
#include "runtime/dispatch.h"
#include "runtime/settings.h"
#include "runtime/state_flags.h"
#include "tests/entry/entry_fixture.h"

namespace {

using entry_test::Entry;

// A Cooke triplet in the proportions of the classic f/4.5 design: crown, flint, crown; the stop
// on the flint's front surface, given with AST (no number) before the surface's SRF line; the
// back focus solved by PY 0 on the last surface.
const std::vector<std::string> kTriplet = {
    "LEN NEW \"Cooke\"",
    "NXT",
    "SRF 21.48 2 N-SK16 10",
    "SRF -124.1 5.26 AIR 10",
    "AST",
    "SRF -19.1 1.25 N-F2 8",
    "RD 22",
    "TH 4.69",
    "AIR",
    "NXT",
    "SRF 328.9 2.25 N-SK16 10",
    "RD -16.7",
    "TH 43",
    "PY 0",
    "AIR",
    "AP CHK 9.5",
    "NOT \"last lens surface\"",
    "NXT",
    "END",
};

TEST_F(Entry, TripletTypedSurfaceBySurfaceHasTheFocalLengthOfItsParaxialTrace) {
    run_all(kTriplet);
    const LensData& l = lens_data();
    EXPECT_EQ(l.image_surface, 7);
    EXPECT_EQ(l.aperture_stop, 3);
    EXPECT_EQ(test_state_flag(kFlagLensEntryInProgress), 0);
    EXPECT_STREQ(l.title, "Cooke");
    EXPECT_STREQ(surface(1).medium_name, "N-SK16    ");
    EXPECT_STREQ(surface(3).medium_name, "N-F2      ");
    EXPECT_EQ(surface(3).medium_kind, kMediumGlass);
    EXPECT_EQ(surface(4).medium_kind, kMediumAir);
    EXPECT_EQ(surface(1).curvature, 1.0 / 21.48);
    EXPECT_EQ(surface(6).thickness_kind, kThicknessAxialHeight);
    EXPECT_EQ(surface(6).aperture_check, 1);
    EXPECT_EQ(surface(6).aperture_radius, 9.5);
    EXPECT_EQ(surface(4).aperture_kind, kApertureComputed);
    ASSERT_NE(surface(6).note, nullptr);
    EXPECT_STREQ(surface(6).note, "last lens surface");
    // The glasses are the catalogue's: at the first wavelength, the d line, their nd (Schott:
    // N-SK16 1.62041, N-F2 1.62004).
    const int w = l.current_wavelength;
    ASSERT_EQ(w, 0);
    EXPECT_NEAR(l.wavelengths[0].wavelength, 0.5876, 1e-4);
    EXPECT_NEAR(surface(1).index[w], 1.62041, 2e-5);
    EXPECT_NEAR(surface(3).index[w], 1.62004, 2e-5);

    take_output();
    ASSERT_EQ(run("par_setup"), 0) << error_text();
    const std::string listing = take_output();
    const double printed = entry_test::number_after(listing, "EFL");
    ASSERT_FALSE(std::isnan(printed)) << listing;
    const double efl = entry_test::stored_number_near(printed);
    const Focus focus = ynu_trace(6, w);
    EXPECT_NEAR(efl, focus.efl, 1e-9 * std::fabs(focus.efl)) << listing;
    EXPECT_NEAR(surface(6).thickness, focus.back_focus, 1e-9 * focus.back_focus);
    // A thin-lens estimate puts a triplet like this one near 50.
    EXPECT_NEAR(focus.efl, 50.0, 5.0);
}

TEST_F(Entry, EchoOfABlockReadsLikeItsLensFileLines) {
    take_output();
    run_all({"LEN NEW \"Echo\"", "NXT", "RD 50", "TH 5", "AP CHK 12.5", "AP 3", "CC -1", "AST",
             "NOT \"front\"", "NXT", "SRF -50 40 AIR 0", "END"});
    const std::string expected =
        "NEW LENS\n"
        "CURRENT SURFACE 0\n"
        "CURRENT SURFACE 1\n"
        "RD     50.000000\n"
        "TH      5.000000\n"
        "AP CHK    12.500000\n"
        "AP      3.000000\n"
        "CC     -1.000000\n"
        "AST            1\n"
        "NOT  front\n"
        "CURRENT SURFACE 2\n"
        "RD    -50.000000\n"
        "TH     40.000000\n"
        "AIR\n"
        "AP       --    \n"
        "CURRENT SURFACE 3\n"
        "END            3\n";
    std::string shown = take_output();
    // The status line's "Surface n" goes to the same console; only the text window counts here.
    std::string text;
    std::size_t at = 0;
    while (at < shown.size()) {
        const std::size_t end = shown.find('\n', at);
        const std::string line = shown.substr(at, end == std::string::npos ? end : end - at + 1);
        if (line.rfind("Surface ", 0) != 0 && line != "\n") text += line;
        if (end == std::string::npos) break;
        at = end + 1;
    }
    EXPECT_EQ(text, expected);
}

TEST_F(Entry, NumbersArriveBitForBit) {
    run_all({"LEN NEW \"Numbers\"", "NXT", "RD 7331.2879999999986", "TH 1e-40", "AP 3.64e+19",
             "NXT", "TH 7331.2879999999986", "AP CHK 12.5", "END"});
    EXPECT_EQ(surface(1).curvature, 1.0 / 7331.2879999999986);
    EXPECT_EQ(surface(1).thickness, 1e-40);
    // The optional CHK word: a number where it may stand is the radius, the check stays off.
    EXPECT_EQ(surface(1).aperture_radius, 3.64e19);
    EXPECT_EQ(surface(1).aperture_check, 0);
    EXPECT_EQ(surface(1).aperture_kind, kApertureFixedValue);
    EXPECT_EQ(surface(2).thickness, 7331.2879999999986);
    EXPECT_EQ(surface(2).aperture_radius, 12.5);
    EXPECT_EQ(surface(2).aperture_check, 1);
}

TEST_F(Entry, TheTrapsOfTheLensBlock) {
    // A lens file's first line: title, focal length and image surface; the numbers are ignored.
    ASSERT_EQ(run("LEN NEW \"T\" 99.873 7"), 0) << error_text();
    EXPECT_STREQ(lens_data().title, "T");
    EXPECT_NE(test_state_flag(kFlagLensEntryInProgress), 0);
    // A title longer than the field is cut to 32 characters.
    ASSERT_EQ(run("LEN NEW \"0123456789012345678901234567890123456789\""), 0);
    EXPECT_STREQ(lens_data().title, "01234567890123456789012345678901");
    EXPECT_STREQ(lens_data().title_copy, lens_data().title);

    // Surfaces up to the limit: the image surface reaches 12, one step more is refused.
    for (int k = 1; k <= 12; ++k) ASSERT_EQ(run("NXT"), 0) << k << error_text();
    EXPECT_EQ(lens_data().image_surface, 12);
    EXPECT_EQ(lens_data().current_surface, 12);
    ASSERT_EQ(run("END 12"), 0) << error_text();
    EXPECT_EQ(lens_data().image_surface, 12);

    // AST without a number is the current surface; AST 0 keeps the stop, and the reference
    // surface follows the stop only while both are the same.
    run_all({"LEN", "NXT", "NXT", "AST"});
    EXPECT_EQ(lens_data().aperture_stop, 2);
    EXPECT_EQ(lens_data().reference_surface, 2);
    run_all({"AST 0"});
    EXPECT_EQ(lens_data().aperture_stop, 2);
    lens_data().reference_surface = 5;
    run_all({"AST 4"});
    EXPECT_EQ(lens_data().aperture_stop, 4);
    EXPECT_EQ(lens_data().reference_surface, 5);
    // END without a number keeps the image surface.
    run_all({"END"});
    EXPECT_EQ(lens_data().image_surface, 12);

    // LEN typed twice opens one block: one END closes it and the plain names are back.
    run_all({"LEN", "LEN", "END"});
    EXPECT_EQ(command_context_letter(), 0);
    // (NXT is a lens-block word only.)
    EXPECT_NE(run("NXT"), 0);
    EXPECT_EQ(lens_data().current_surface, 0);
}

// A line that is refused inside a block leaves every surface and the lens data as they were.
TEST_F(Entry, BadInputInABlockChangesNothing) {
    run_all({"LEN NEW \"Bad\"", "NXT", "RD 40", "TH 3"});
    for (int k = 0; k < 11; ++k) ASSERT_EQ(run("NXT"), 0);
    ASSERT_EQ(lens_data().current_surface, 12);
    struct Case {
        const char* line;
        const char* message;  // a part of the message the user sees
    };
    const Case cases[] = {
        {"XYZ 5", "xyz"},
        {"NXT", "surface limit 12"},
        {"END 13", "image surface 13"},
        {"GTO 13", "surface limit 12"},
        {"TH abc", "abc"},
        {"END -1", "image surface -1"},
        {"PK 9 -1", "Surface 12: no pickup of this type"},
        {"PK FOO -1", "FOO is not one of the choices"},
        {"RAIM Xyz", "Xyz is not one of the choices"},
        {"SNO11 \"x\"", "Note 11 is outside"},
    };
    std::vector<SurfaceRecord> before(surface_array(), surface_array() + surface_limit() + 1);
    const LensData lens_before = lens_data();
    for (const Case& c : cases) {
        const std::size_t shown = errors().size();
        EXPECT_NE(run(c.line), 0) << c.line;
        // A refusal leaves its text in the error buffer, a line that does not compile shows it.
        const std::string seen = error_text() + "|" + errors().substr(shown);
        EXPECT_NE(seen.find(c.message), std::string::npos) << c.line << ": " << seen;
        EXPECT_EQ(
            std::memcmp(before.data(), surface_array(), before.size() * sizeof(SurfaceRecord)), 0)
            << c.line;
        EXPECT_EQ(std::memcmp(&lens_before, &lens_data(), sizeof(LensData)), 0) << c.line;
        EXPECT_NE(test_state_flag(kFlagLensEntryInProgress), 0) << c.line;
    }
    EXPECT_EQ(run("END"), 0) << error_text();
}

// In single-command update mode (a spreadsheet runs a cell's line) the command is silent, sets
// the lens up itself, and leaves Output on at output_after_update.
TEST_F(Entry, UpdateModeIsSilentAndSetsTheLensUp) {
    run_all(kTriplet);
    const double height_before = surface(3).axial_ray_height;
    set_state_flag(kFlagReferenceRayCurrent);
    set_state_flag(kFlagSingleCommandUpdate);
    push_command_context('L');
    lens_data().current_surface = 2;
    update_output_flags().after_update = 0;
    take_output();
    EXPECT_EQ(run("TH 8"), 0) << error_text();
    EXPECT_EQ(take_output(), "");
    EXPECT_EQ(surface(2).thickness, 8.0);
    EXPECT_EQ(get_setting_flag(kSetOutputOn), 0);
    // The set-up ran: derived results are stale, the marginal ray meets surface 3 lower.
    EXPECT_EQ(test_state_flag(kFlagReferenceRayCurrent), 0);
    EXPECT_LT(surface(3).axial_ray_height, height_before);

    // Inserting a surface joins the frame: silent, set up, Output on as asked afterwards.
    const int image = lens_data().image_surface;
    set_setting_flag(kSetOutputOn, 1);
    EXPECT_EQ(run("INS 3"), 0) << error_text();
    EXPECT_EQ(take_output(), "");
    EXPECT_EQ(lens_data().image_surface, image + 1);
    EXPECT_EQ(get_setting_flag(kSetOutputOn), 0);
    EXPECT_EQ(lens_data().current_surface, 3);
    lens_data().current_surface = 2;

    // A refused command in update mode runs no set-up.
    set_state_flag(kFlagReferenceRayCurrent);
    surface(2).curvature_kind = kCurvatureFixed;
    EXPECT_NE(run("RD 10"), 0);
    EXPECT_NE(test_state_flag(kFlagReferenceRayCurrent), 0);
    EXPECT_NE(error_text().find("fixed by its group"), std::string::npos) << error_text();
    surface(2).curvature_kind = kCurvaturePlain;

    // Procedures set the switches by name.
    ASSERT_EQ(run("output_after_update = 1"), 0);
    EXPECT_EQ(update_output_flags().after_update, 1);
    ASSERT_EQ(run("output_during_update = output_after_update - 1"), 0);
    EXPECT_EQ(update_output_flags().during_update, 0);
    pop_command_context();
    clear_state_flag(kFlagSingleCommandUpdate);
}

// The start-up lens: "LEN NEW" and "END" run quietly and leave the two-surface lens, the block
// closed. "LEN -1" lists the whole lens.
TEST_F(Entry, StartUpLensAndTheListingWord) {
    ASSERT_EQ(run("open_startup_lens"), 0) << error_text();
    EXPECT_EQ(lens_data().image_surface, 2);
    EXPECT_EQ(test_state_flag(kFlagLensEntryInProgress), 0);
    EXPECT_NE(test_state_flag(kFlagLensExists), 0);
    EXPECT_EQ(command_context_letter(), 0);

    // "LEN -1" lists the lens and opens no block.
    take_output();
    EXPECT_EQ(run("LEN -1"), 0) << error_text();
    EXPECT_NE(take_output().find("RADIUS DATA\n"), std::string::npos);
    EXPECT_EQ(test_state_flag(kFlagLensEntryInProgress), 0);
    EXPECT_EQ(command_context_letter(), 0);
}

// A surface changed inside a block loses its plain mark until END sets the lens up, so that a
// trace typed before END looks at the surface itself.
TEST_F(Entry, ASurfaceChangedBeforeEndIsNotTakenAsPlain) {
    run_all(kTriplet);
    ASSERT_NE(surface(2).plain_mark, kPlainUnknown);
    run_all({"LEN", "GTO 2", "FRN FRESNEL"});
    EXPECT_EQ(surface(2).plain_mark, kPlainUnknown);
    run_all({"END"});
    EXPECT_EQ(surface(2).plain_mark, kPlainNotPlain);
}

}  // namespace
