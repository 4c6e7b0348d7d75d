// Foreign lens import: lens descriptions written by other design programs become the current
// lens. A reader starts a new lens, pushes the command context letter of its format and runs
// every line of the file (after a small textual repair) as lens data, so that each foreign
// keyword reaches an import command of that letter; the import command's handler turns its
// values into native lens data. Aperture and field values given in foreign terms are converted
// once the whole lens is known.
#pragma once

#include <string>
#include <vector>

#include "tables/table_names.h"

// Kinds of import: 0 chooses by the file name's extension.
enum ImportKind : int {
    kImportByExtension = 0,
    kImportLensCard = 1,
    kImportLenLnsDat = 2,
    kImportSeq = 3,
    kImportZmx = 4,
};

// 0 when the import commands of this context letter may run now (a file of that format is
// being read), else the refusal's message number.
int import_keyword_allowed(char letter);

// Pending aperture and field modes: values of LensData::aperture_is_na and field_is_angle that
// mean "given in foreign terms, converted after reading".
inline constexpr int kPendingEntrancePupil = 2;
inline constexpr int kPendingFNumber = 3;
inline constexpr int kPendingStopApertures = 4;
inline constexpr int kPendingImageHeight = 2;

// The program-wide words of an import; every import starts from these values.
struct ImportState {
    int line = 0;               // the line being run, from 1
    double f_number = 0.0;      // working F-number of a pending aperture mode 3
    double image_height = 0.0;  // image-height target of a pending field mode 2
    int zmx_surface_type = 1;   // 1 plain, 2 coordinate break, 3 polynomial asphere
    int zmx_mirror_parity = 0;
    double zmx_break[5] = {};  // coordinate-break parameters 1..5
    bool seq_image_surface_seen = false;
    // The reference wavelength a ".seq" file names (from 1; 0 none), applied after reading:
    // its weights follow in the order of its wavelengths.
    int seq_reference_wavelength = 0;
    bool surface_overflow = false;  // a surface beyond the limit: reading stops
    // Aperture and field given in foreign terms (the modes above), converted after reading.
    // They are kept here rather than in the lens's own mode bytes, which the set-up reads as
    // a numerical aperture or a field angle whenever they are not 0.
    int pending_aperture = 0;
    int pending_field = 0;
    // Surfaces given a model glass by index and Abbe number while the file was read.
    std::vector<int> abbe_glass_surfaces;
    // The file's lines that were refused or whose data could not be taken, each once: the
    // import ends by saying how many, since the lens may then differ from the file's.
    std::vector<int> unused_lines;
    // The first words of lines that no command takes (upper case, each once), named at the end.
    std::vector<std::string> unknown_keywords;
    // The catalogues a file names for its glasses (indices of glass_catalog), searched first.
    std::vector<int> glass_catalogs;
    // A wavelength was given on a line of its own: the table holds only those so given.
    bool wavelengths_listed = false;
};
ImportState& import_state();

// What the import needs from the layers above: the lens set-up and the reset of the stored
// object point. Installed by the program's installer; null entries do nothing.
struct ImportHooks {
    int (*lens_setup)(int mode) = nullptr;
    void (*reset_object_point)() = nullptr;
    // Traces the axial ray and marks the surfaces where it meets the second intersection.
    void (*mark_alternate_intersections)() = nullptr;
};
const ImportHooks& import_hooks();
void set_import_hooks(const ImportHooks& hooks);

// The reader kind for a requested kind and a file name (kind 0: by extension, ignoring case).
int import_kind_for(int kind, const std::string& path);

// Runs the reader of kind (1..4) on path: 0 or a message number. The current lens is replaced
// unless the file cannot be read.
int read_import_file(int kind, const std::string& path);

// Services for the keyword handlers.
// The line being run was not used (refused, or its data could not be taken).
void import_line_not_used();
// Prints the note on a value the import does not use: the line, what it is, why.
void import_note_ignored(const char* what, const char* why);
// Prints a message with text output switched on for the print.
void import_print(int code, const std::string& text);
void import_print(int code, int number, const std::string& text);
void import_print(int code, int number, const std::string& first, const std::string& second);
// Runs native lens-entry lines (numbers only) with the lens context: 0 or the first failure.
int import_run_native(const std::string& line);
// The surface gets a model glass made by the glass command: from index and Abbe number
// (abbe true, values nd and vd) or from one index per wavelength. The name is cut to 10
// characters and never becomes command text. 0 or the command's failure.
int import_model_glass(int surface, const std::string& name, bool abbe, const double* values,
                       int count);
// Looks the padded name up; true (and the surface takes the catalogue glass) when found.
bool import_catalogue_glass(int surface, const std::string& name);
// The catalogue glass whose name equals name when case and the characters '-', '_' and blank
// are ignored ("NBK7" is "N-BK7"), searched in the given catalogues (all when empty): its
// stored name, or empty when no glass or more than one matches.
std::string catalogue_glass_like(const std::string& name, const std::vector<int>& catalogs);
// The catalogue index of a maker's name as files write it ("SCHOTT", "Ohara"), or -1.
int glass_catalog_of_maker(const std::string& maker);
// The lens title from a foreign text: cut to 29 characters and "..." when longer than 32;
// the title copy follows.
void import_set_title(const std::string& text);
// The number of the keyword's numeric arguments that were given.
int import_given_count();
// Text argument k, or empty.
std::string import_text_arg(int k);
// The wavelength table from up to the table's size of values (weights 1 where 0), the rest
// reported; scale multiplies each value.
void import_set_wavelengths(double scale);
void import_set_weights();
// Wavelength entry ref (from 1) becomes the primary one, then the shortest and the longest.
void import_reference_wavelength(int ref);
// The coefficient of r^order (even, 2 to 20) of the surface's polynomial asphere, in the
// surface's own units; on a toric surface the polynomial runs along its y section. A zero makes
// no record; a surface with another asphere form keeps it (said).
void import_even_term(int surface, int order, double value);
// The stop moves to the surface (the reference surface follows it when it was the stop).
void import_set_stop(int surface);

// The foreign file the lens was last imported from (empty after a native open or save): the
// lens file commands never write over it.
const std::string& imported_file();
void forget_imported_file();
// Reads the imported file again with the reader that read it, as the import did (the lens
// is replaced, named after the file and the stored object point reset): 0 or the failure.
int reimport_lens_file();

int cmd_import_lens();
int cmd_import_lens_dialog();
void install_import_commands();
