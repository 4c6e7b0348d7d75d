#include "runtime/format_print.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/lens_data_guard.h"
#include "runtime/list_words.h"
#include "runtime/messages.h"
#include "runtime/output_options.h"
#include "runtime/parameters.h"
#include "runtime/safe_format.h"
#include "runtime/string_commands.h"
#include "runtime/table_messages.h"
#include "runtime/text_output.h"

namespace {

// The writers app/ installs at start: formatted text into a file, and the plotter file.
struct FormatPrintWriters {
    FileTextWriter file_writer = nullptr;
    void (*hpgl_writer)() = nullptr;
};

FormatPrintWriters g_writers;

// Cells a caller gave: an omitted argument arrives with its default and does not count.
int given_count(int first) {
    int n = first;
    while (arg_cell(n) != nullptr && arg_cell(n)->status == kArgGiven) ++n;
    return n;
}

bool is_text_cell(const ArgCell* c) {
    return c != nullptr && c->type == kArgChar && c->text_length > 0 && c->value.text != nullptr;
}
bool is_array_cell(int i) {
    const ArgShape* s = arg_shape(i);
    return s != nullptr && s->dim1 > 0 && !(s->type == kArgChar && is_text_cell(arg_cell(i)));
}

// The format of a cell: its text, or the text and kind of the message it numbers.
bool format_of(int i, std::string* format, int* kind) {
    const ArgCell* c = arg_cell(i);
    *kind = 0;
    if (c == nullptr || c->status != kArgGiven) return false;
    if (is_text_cell(c)) {
        *format = c->value.text;
    } else if (c->type == kArgInt && c->value.i < 0) {
        const char* text = msg_text_kind(c->value.i, kind);
        if (text == nullptr) return false;
        *format = text;
    } else {
        return false;
    }
    std::vector<char> buffer(format->begin(), format->end());
    buffer.push_back('\0');
    unescape_text(buffer.data());
    *format = buffer.data();
    return true;
}

// Asks for the value of the variable of cell 0 with the composed prompt; the command line
// starts with the text of cell 2 when it is given. An int result: 0, or -189 for a variable
// that cannot take an answer (an array, a text of no capacity); the question's own failures
// (Escape: -9999) and a value of the wrong kind are returned.
int prompt_for_variable(const std::string& prompt) {
    ArgCell* target = arg_cell(0);
    const ArgShape* shape = arg_shape(0);
    const ParamHooks& hooks = param_hooks();
    const bool text = is_text_cell(target) && shape != nullptr && shape->dim2 == 0;
    if (target == nullptr || (shape != nullptr && shape->dim1 > 0 && !text) ||
        (text && arg_text_capacity(0) < 2) || (!text && target->text_length > 0)) {
        set_int_result(kMsgUnusablePromptVariable);
        return 0;
    }
    if (hooks.ask_line == nullptr) return kStopped;
    const ArgCell* initial = arg_cell(2);
    const char* offered =
        is_text_cell(initial) && initial->status == kArgGiven ? initial->value.text : "";
    std::vector<char> answer(text ? static_cast<std::size_t>(arg_text_capacity(0)) : 256, '\0');
    const int asked = hooks.ask_line(prompt.c_str(), answer.data(), answer.size(), offered, 0);
    if (hooks.close_prompt != nullptr) hooks.close_prompt();
    if (asked != 0) return asked;
    if (text) {
        std::memcpy(target->value.text, answer.data(), std::strlen(answer.data()) + 1);
        set_int_result(0);
        return 0;
    }
    if (hooks.evaluate_expression == nullptr) return kStopped;
    ArgCell value{};
    if (const int r = hooks.evaluate_expression(answer.data(), &value); r != 0) return r;
    // The variable keeps its own type: a parameter of that type checks the answer.
    ParamDescriptor d{};
    d.type_flags = static_cast<std::uint8_t>(shape != nullptr ? shape->type : target->type);
    ArgCell stored{};
    if (const int r = store_param_value(&d, value, &stored); r != 0) return r;
    target->type = stored.type;
    target->value = stored.value;
    set_int_result(0);
    return 0;
}

// print and printf show their text even while text output is switched off: the switch is on
// while they compose and write, and back as it was afterwards.
class OutputForcedOn {
public:
    explicit OutputForcedOn(bool force) : saved_(output_option(kOptionOutputOn)), force_(force) {
        if (force_) set_output_option(kOptionOutputOn, 1);
    }
    ~OutputForcedOn() {
        if (force_) set_output_option(kOptionOutputOn, saved_);
    }
    OutputForcedOn(const OutputForcedOn&) = delete;
    OutputForcedOn& operator=(const OutputForcedOn&) = delete;

private:
    int saved_;
    bool force_;
};

}  // namespace

std::string compose_format(const char* format, int first, NumberSink sink) {
    std::string out;
    const int end = given_count(first);
    int next = first;
    for (const char* p = format; *p != '\0';) {
        // "%%" is one percent sign, as in printf, and takes no argument.
        if (*p == '%' && p[1] == '%') {
            out += '%';
            p += 2;
            continue;
        }
        if (*p != '%' || next >= end) {
            out += *p++;
            continue;
        }
        // A conversion: a flag, an optional l or L, width and precision digits with at
        // most one '.', then the conversion; kept short so no field can grow without bound.
        const char* start = p++;
        std::string spec = "%";
        if (*p == '-' || *p == '+' || *p == ' ' || *p == '#') spec += *p++;
        if (*p == 'l' || *p == 'L') ++p;
        bool digits = false, dot = false;
        while ((std::isdigit(static_cast<unsigned char>(*p)) || (*p == '.' && !dot)) &&
               p - start < 12) {
            if (*p == '.') {
                dot = true;
            } else {
                digits = true;
            }
            spec += *p++;
        }
        if (*p == '\0') {
            out.append(start, p);
            break;
        }
        char conversion = *p++;
        const std::string literal(start, p);
        const ArgCell* c = arg_cell(next);
        const bool array = is_array_cell(next);
        ++next;
        const bool text = is_text_cell(c);
        const bool real = !array && c->type == kArgDouble;
        const bool integer = !array && !text && (c->type == kArgInt || c->type == kArgChar);
        const long long int_value =
            c->type == kArgInt    ? c->value.i
            : c->type == kArgChar ? static_cast<long long>(static_cast<signed char>(c->value.c))
                                  : 0;
        if (std::strchr("eEfgG", conversion) != nullptr && real) {
            if (sink == NumberSink::text_output) {
                text_out(out.c_str());
                out.clear();
                if (digits) {
                    record_output_number(c->value.d);
                    text_out(safe_format((spec + conversion).c_str(),
                                         std::span<const FormatArg>({FormatArg(c->value.d)}))
                                 .c_str());
                } else {
                    const int mode = conversion == 'f'                          ? 2
                                     : (conversion == 'g' || conversion == 'G') ? 0
                                                                                : 1;
                    text_number_fmt(c->value.d, 0, mode, 1);
                }
            } else {
                out += safe_format((spec + conversion).c_str(),
                                   std::span<const FormatArg>({FormatArg(c->value.d)}));
            }
        } else if (std::strchr("dioxXc", conversion) != nullptr && integer) {
            if (conversion == 'c' && !std::isprint(static_cast<unsigned char>(int_value))) {
                conversion = 'x';
            }
            const FormatArg a =
                conversion == 'c' ? FormatArg(static_cast<char>(int_value)) : FormatArg(int_value);
            out += safe_format((spec + conversion).c_str(), std::span<const FormatArg>({a}));
        } else if (conversion == 's' && (text || integer)) {
            const char* s = text ? c->value.text : msg_text(static_cast<int>(int_value));
            out += safe_format((spec + 's').c_str(),
                               std::span<const FormatArg>({FormatArg(s != nullptr ? s : "?")}));
        } else {
            out += literal;
        }
    }
    return out;
}

void print_plain(int first) {
    const int end = given_count(first);
    for (int i = first; i < end; ++i) {
        const ArgCell* c = arg_cell(i);
        if (i > first) text_out(" ");
        if (is_text_cell(c)) {
            text_out(c->value.text);
        } else if (is_array_cell(i)) {
            text_out("?");  // a whole array has no one value to print
        } else if (c->type == kArgDouble) {
            text_number(c->value.d);
        } else {
            const long long v =
                c->type == kArgChar ? static_cast<signed char>(c->value.c) : c->value.i;
            text_out(safe_format("%3d", std::span<const FormatArg>({FormatArg(v)})).c_str());
        }
    }
    text_out("\n");
}

int cmd_format_print() {
    const int command = current_command();
    const int format_cell =
        command == kCmdSprintf || command == kCmdFprintf || command == kCmdPrompt ? 1 : 0;
    // Nothing read from lens data may ask the user.
    if (command == kCmdConfirm || command == kCmdPrompt) {
        if (const int r = refuse_while_reading_lens_data(); r != 0) return r;
    }
    std::string format;
    int kind = 0;
    const bool has_format =
        command != kCmdPrint && command != kCmdPrintLine && format_of(format_cell, &format, &kind);
    const bool format_given =
        arg_cell(format_cell) != nullptr && arg_cell(format_cell)->status == kArgGiven;
    if (!has_format && format_given && command != kCmdPrint && command != kCmdPrintLine) {
        if (command == kCmdSprintf || command == kCmdFprintf || command == kCmdPrompt) {
            set_int_result(kMsgBadFormat);
            return 0;
        }
        return kMsgBadFormat;
    }
    if (!has_format && (command == kCmdStatusMsg || command == kCmdConfirm)) format = " ";
    const bool plain = !has_format && format.empty();
    switch (command) {
        case kCmdPrint:
        case kCmdPrintLine:
        case kCmdPrintf:
        case kCmdTprintf: {
            const OutputForcedOn forced(command == kCmdPrint || command == kCmdPrintf);
            if (plain) {
                print_plain(format_cell);
            } else {
                text_out(compose_format(format.c_str(), 1, NumberSink::text_output).c_str());
            }
            return 0;
        }
        case kCmdStatusMsg:
        case kCmdHalt: {
            const std::string text = compose_format(format.c_str(), 1, NumberSink::inline_text);
            if (command == kCmdHalt) {
                if (!text.empty()) show_message_text(kind < 1 ? 1 : kind, text.c_str());
                return kStopped;
            }
            show_message_text(kind, text.c_str());
            return 0;
        }
        case kCmdConfirm: {
            const std::string text = compose_format(format.c_str(), 1, NumberSink::inline_text);
            return ask_msg(kMsgPlainText, text.c_str());
        }
        case kCmdPrompt:
            // The values of the prompt follow the variable, the format and the offered text.
            return prompt_for_variable(compose_format(format.c_str(), 3, NumberSink::inline_text));
        case kCmdSprintf: {
            std::string text = compose_format(format.c_str(), 2, NumberSink::inline_text);
            ArgCell source = text_cell(text.data());
            ArgCell* cells[2] = {arg_cell(0), &source};
            if (cells[0] == nullptr) {
                set_int_result(kMsgTextDoesNotFit);
                return 0;
            }
            ScratchCallScope scope;
            ArgCell** scratch = scope.scratch();
            *scratch[0] = *cells[0];
            *scratch[1] = source;
            set_arg_vector(scratch, 2);
            set_current_command(kCmdStrcpy);
            return cmd_string_functions();
        }
        case kCmdFprintf: {
            const std::string text = compose_format(format.c_str(), 2, NumberSink::inline_text);
            const int r = g_writers.file_writer != nullptr ? g_writers.file_writer(arg_int(0), text)
                                                           : kMsgFileWriteFailed;
            set_int_result(r);
            return 0;
        }
        case kCmdGfxHpgl:
        case kCmdGfxPrint: {
            // An error text is not plotter text.
            if (command == kCmdGfxHpgl && kind == 2) return kMsgBadFormat;
            const std::string text = compose_format(format.c_str(), 1, NumberSink::inline_text);
            if (text.empty()) return 0;
            if (command == kCmdGfxPrint) {
                gfx_printf("%s", text.c_str());
            } else if (g_writers.hpgl_writer != nullptr) {
                set_formatted_output(text.c_str());
                g_writers.hpgl_writer();
            }
            return 0;
        }
        default:
            return 0;
    }
}

void set_graphics_hpgl_writer(void (*write_buffer)()) {
    g_writers.hpgl_writer = write_buffer;
}

void install_format_print() {
    set_handler(kSlotFormatPrint, cmd_format_print);
}

void set_file_text_writer(FileTextWriter writer) {
    g_writers.file_writer = writer;
}
