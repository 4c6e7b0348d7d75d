#include "lens/lens_text_commands.h"

#include <cstdio>
#include <iterator>

#include "kpl/kpl_interp.h"
#include "lens/lens_data.h"
#include "platform/state_reset.h"
#include "runtime/arg_cells.h"
#include "runtime/dispatch.h"
#include "runtime/messages.h"

namespace {

// The texts the glass-name and note variables hold.
struct LensTextVariables {
    char glass_name[kGlassNameVariableSize] = {};
    char surface_note[kNoteVariableSize] = {};
    char lens_note[kNoteVariableSize] = {};
};

LensTextVariables g_texts;

// Copies text into a text variable of the command language, cut to its size.
int copy_into_variable(int entry, const char* text) {
    std::size_t size = 0;
    char* buffer = lens_text_variable(entry, &size);
    if (buffer == nullptr || size == 0) return kMsgIndexRange;
    std::snprintf(buffer, size, "%s", text != nullptr ? text : "");
    return 0;
}

SurfaceRecord* surface_of_cell() {
    const int n = arg_int(0);
    if (surface_array() == nullptr || n < 0 || n > lens_data().image_surface) return nullptr;
    return &surface(n);
}

}  // namespace

char* lens_text_variable(int entry, std::size_t* size) {
    std::size_t n = 0;
    char* text = nullptr;
    if (entry == kSysVarGlassName) {
        text = g_texts.glass_name;
        n = sizeof g_texts.glass_name;
    } else if (entry == kSysVarSurfaceNote) {
        text = g_texts.surface_note;
        n = sizeof g_texts.surface_note;
    } else if (entry == kSysVarLensNoteLine) {
        text = g_texts.lens_note;
        n = sizeof g_texts.lens_note;
    }
    if (size != nullptr) *size = n;
    return text;
}

void install_lens_text_commands() {
    set_handler(kSlotSurfaceGlassName, cmd_surface_glass_name);
    set_handler(kSlotSurfaceNote, cmd_surface_note);
    set_handler(kSlotLensNoteLine, cmd_lens_note_line);
}

int cmd_surface_glass_name() {
    const SurfaceRecord* s = surface_of_cell();
    if (s == nullptr) return kMsgIndexRange;
    return copy_into_variable(kSysVarGlassName, s->medium_name);
}

int cmd_surface_note() {
    const SurfaceRecord* s = surface_of_cell();
    if (s == nullptr) return kMsgIndexRange;
    return copy_into_variable(kSysVarSurfaceNote, s->note);
}

int cmd_lens_note_line() {
    const int line = arg_int(0);
    if (line < 1 || line > kNoteLines) return kMsgIndexRange;
    return copy_into_variable(kSysVarLensNoteLine, lens_data().notes[line - 1]);
}

namespace {
void reset_lens_text_commands() {
    g_texts = LensTextVariables{};
}
const platform::StateReset lens_text_commands_state_reset{
    "lens/lens_text_commands", reset_lens_text_commands, platform::ResetLayer::lens};
}  // namespace
