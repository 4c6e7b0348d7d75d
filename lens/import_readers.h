// The readers of the foreign lens formats and their keyword handlers, run by the import frame
// (lens/import_frame.h).
#pragma once

#include <string>
#include <vector>

#include "tables/table_names.h"

enum class LineAction { run, skip };

// What a reader adds to the shared reading frame.
struct ImportReader {
    void (*setup)() = nullptr;  // after the new lens: context letter and reader words
    // Repairs a line in place; skip leaves it unrun. Setting *stop ends the reading (the lens
    // would pass the surface limit).
    LineAction (*repair)(std::string& line, int* stop) = nullptr;
    // Splits a file line into the command lines it holds (comments dropped); null: the line
    // is one command.
    void (*pieces)(const std::string& line, std::vector<std::string>& out) = nullptr;
    // The highest surface number the file's lens needs, counted before anything is read, so
    // that a lens larger than the program holds is refused whole; null: not counted.
    int (*surfaces_needed)(const std::vector<std::string>& lines) = nullptr;
    void (*before_end)() = nullptr;           // before the end command
    void (*after_end)(int result) = nullptr;  // after it, before the conversions
    int (*last)(int result) = nullptr;        // after the conversions: the import's result
};

// The shared frame: reads path and runs its lines; 0 or a message number.
int read_import_lines(const ImportReader& reader, const std::string& path);

struct ImportFilter {
    std::string description;
    std::string pattern;
    int kind;
};
// The dialog's filters: descriptions and patterns from filter_list, kinds from type_list.
std::vector<ImportFilter> import_filters(int type_list, int filter_list);
int import_dialog_kind();

int read_zmx_file(const std::string& path);
int read_seq_file(const std::string& path);
int read_lens_card_file(const std::string& path);
// ".dat" files, read line by line in their fixed layout.
int read_dat_file(const std::string& path);
// The ".len"/".lns" entry: ".dat" by extension goes to read_dat_file.
int read_len_lns_or_dat_file(const std::string& path);
// ".len" (lns false) or ".lns" files.
int read_lns_file(const std::string& path, bool lns);

// Shared by the ".dat" and ".len"/".lns" readers.
struct DatWords {
    double a = 0.0, b = 0.0, c = 0.0, d = 0.0;  // system values of the header
    double d1 = 0.0, d2 = 0.0;                  // closing values
    bool closing_read = false;
    std::vector<int> return_marks;  // surfaces marked "Z": a coordinate return starts
};
DatWords& dat_words();
// Marks dummy surfaces, the drawing switch, coordinate returns, the wavelength order and the
// aperture from the header values: 0, or -10 when a return record cannot be had.
int finish_lns_dat_import(bool flag, double d1, double d2);

// Handler kSlotZmxKeyword: the import commands of ".zmx" keywords (context "Z").
int cmd_zmx_keyword();
// Handler kSlotSeqKeyword: the import commands of ".seq" keywords (context "I").
int cmd_seq_keyword();
// Handler kSlotLensCardKeyword: the import commands of lens-card files (context "G").
int cmd_lens_card_keyword();
// Handler kSlotLnsKeyword: the import commands of ".len"/".lns" keywords (context "K").
int cmd_lns_keyword();
