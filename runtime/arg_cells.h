// Argument cells: how a command handler reads its arguments and hands a value back. The
// interpreter (or a handler calling another handler) fills a vector of cell pointers and a
// count before the call; the handler only reads them, and only below the count. User DLLs read
// the cells in exactly this 16-byte layout.
#pragma once

#include <cstdint>
#include <string>

// An empty initialiser ("ArgValue{}") clears all eight bytes: the member it initialises is the
// double. Were it the first member, the int, the upper half of an earlier double would survive a
// cleared cell, and the compiler decides whether it does.
union ArgValue {
    std::int32_t i;
    double d = 0.0;
    char c;      // a single char: the first byte
    char* text;  // a NUL-terminated text (type 3 with a length)
    std::uint8_t bytes[8];
};
static_assert(sizeof(ArgValue) == 8);

enum ArgType : std::uint16_t {
    kArgNone = 0,
    kArgInt = 1,
    kArgDouble = 2,
    kArgChar = 3,  // a single char, or a text when the text length is not 0
};

// Where the value came from. Code that only asks "was it given?" tests status != 0.
enum ArgStatus : std::int16_t {
    kArgGiven = 0,
    kArgDefaultTaken = 1,    // filled from the parameter's default without asking
    kArgDefaultForced = -1,  // filled from the default while the forced-default mode is on
};

struct ArgCell {
    ArgValue value;
    std::uint16_t type;
    std::int16_t status;
    std::int16_t text_length;  // 0 for numbers and single chars, else the length with its NUL
    std::int16_t text_flag;    // 1 for a plain-text parameter
};
static_assert(sizeof(ArgCell) == 16);

// The shape of an argument that names a command-language variable: its element type (the
// interpreter's type numbers: 1 int, 2 double, 3 char) and dimensions (dim1 0 for a scalar;
// dim2 0 for a one-dimensional array; a two-dimensional array is dim1 rows of dim2 elements).
// For a text variable the cell's text_length is its capacity in bytes, NUL included, and the
// cell points at the variable's own bytes, so a handler may write up to that capacity.
struct ArgShape {
    int type = 0;
    int dim1 = 0;
    int dim2 = 0;
};

// The value a handler hands back besides its return code; type 0 when none was set.
struct CommandResult {
    ArgValue value;
    std::uint16_t type;
};

inline constexpr int kScratchCellCount = 24;

// The running command and its arguments. Command levels save and restore them.
int current_command();
void set_current_command(int command);
ArgCell** arg_vector();
int arg_count();
void set_arg_vector(ArgCell** vector, int count);
// Shapes beside the argument vector (one per cell), or none: set_arg_vector forgets them.
void set_arg_shapes(const ArgShape* shapes);
const ArgShape* arg_shapes();
// The shape of cell i, or null when the caller gave none (a value, not a variable).
const ArgShape* arg_shape(int i);
// The capacity in bytes of the text in cell i (its text_length), 0 when it holds no text.
int arg_text_capacity(int i);
// Cell i of the running command, or null when i is outside 0..count-1: a handler never reads
// a cell the caller did not fill.
ArgCell* arg_cell(int i);
// The number in cell i: an int, a double (truncated; 0 when it does not fit an int) or a single
// character; 0 for a missing cell or a text.
std::int32_t arg_int(int i);
// The number in cell i as a double; 0 for a missing cell or a text.
double arg_double(int i);
// The text in cell i, up to its first NUL within the cell's length; empty for a missing cell or
// a number.
std::string arg_string(int i);

// The scratch vector for a handler that calls another handler: 24 pointers to 24 cells in one
// static area, the same every time.
ArgCell** new_arg_vector();

// Runs something on the scratch vector with the running command's state kept around it: the
// command number, the argument vector and count, and, when the caller itself runs on the
// scratch cells (it was called this way), their contents. All come back when the scope ends.
class ScratchCallScope {
public:
    ScratchCallScope();
    ~ScratchCallScope();
    ScratchCallScope(const ScratchCallScope&) = delete;
    ScratchCallScope& operator=(const ScratchCallScope&) = delete;
    ArgCell** scratch() const { return scratch_; }

private:
    int saved_command_;
    ArgCell** saved_vector_;
    int saved_count_;
    const ArgShape* saved_shapes_;
    ArgCell** scratch_;
    bool caller_uses_scratch_;
    ArgCell saved_cells_[kScratchCellCount];
};

CommandResult& command_result();
void clear_command_result();
void set_int_result(std::int32_t value);
void set_double_result(double value);
// The same for callers that hold the double as its two 32-bit halves (user DLLs).
void set_double_result_words(std::uint32_t low, std::uint32_t high);
void set_char_result(char value);

// Cell constructors for callers that fill cells themselves.
ArgCell int_cell(std::int32_t value);
ArgCell double_cell(double value);
ArgCell char_cell(char value);
// A text cell pointing at text (not copied; it must outlive the call).
ArgCell text_cell(char* text);
