#include "graphics/animation_files.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "graphics/graphics_offscreen.h"
#include "graphics/graphics_replay.h"
#include "graphics/graphics_window.h"
#include "platform/state_reset.h"
#include "platform/ui.h"
#include "runtime/arg_cells.h"
#include "runtime/child_run.h"
#include "runtime/dispatch.h"
#include "runtime/dispatch_slots.h"
#include "runtime/lens_data_guard.h"
#include "runtime/messages.h"
#include "runtime/script_commands.h"
#include "runtime/state_flags.h"
#include "tables/table_names.h"

namespace {

// The animation file being recorded, its frames so far and its path.
struct AnimationFilesState {
    std::FILE* file = nullptr;
    int frames = 0;
    std::string path;
};

AnimationFilesState g_animation;

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool write_int32(std::FILE* f, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    const unsigned char b[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                                static_cast<unsigned char>(u >> 16),
                                static_cast<unsigned char>(u >> 24)};
    return std::fwrite(b, 1, 4, f) == 4;
}

bool read_int32(std::FILE* f, std::int32_t* v) {
    unsigned char b[4];
    if (std::fread(b, 1, 4, f) != 4) return false;
    *v = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
        static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
    return true;
}

// Appends the current window's display list as one frame.
bool write_frame(std::FILE* f) {
    graphwin_refresh(0);  // a polyline still being collected belongs to the frame
    std::vector<std::uint16_t> words = display_list_words();
    words.push_back(0);
    std::vector<unsigned char> bytes;
    bytes.reserve(words.size() * 2);
    for (std::uint16_t w : words) {
        bytes.push_back(static_cast<unsigned char>(w));
        bytes.push_back(static_cast<unsigned char>(w >> 8));
    }
    return write_int32(f, static_cast<std::int32_t>(bytes.size())) &&
           std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
}

// Writes the count at the start and closes; false when either fails.
bool close_with_count(std::FILE* f, int count) {
    bool ok = std::fseek(f, 0, SEEK_SET) == 0 && write_int32(f, count);
    ok = std::fflush(f) == 0 && ok;
    return std::fclose(f) == 0 && ok;
}

void drop_recording() {
    if (g_animation.file != nullptr) std::fclose(g_animation.file);
    g_animation.file = nullptr;
    clear_state_flag(kFlagAnimationRecording);
}

int failed(int code, const std::string& path) {
    return set_error_msg(code, path.c_str());
}

std::string name_argument() {
    const ArgCell* c = arg_cell(0);
    if (c == nullptr || c->type != kArgChar || c->text_length <= 0 || c->value.text == nullptr) {
        return {};
    }
    return c->value.text;
}

int start_recording() {
    finish_animation_recording();
    const std::string name = name_argument();
    std::string path;
    // An empty name would make a hidden file named only by its extension.
    if (name.empty()) return failed(kMsgFileCannotOpen, name);
    std::FILE* f = open_data_file(kDataFileAnimation, 0, &path, name.c_str(), "w+b");
    if (f == nullptr) return failed(kMsgFileCannotOpen, path);
    if (!write_int32(f, 0)) {
        std::fclose(f);
        return failed(kMsgFileCannotWrite, path);
    }
    g_animation.file = f;
    g_animation.frames = 0;
    g_animation.path = path;
    set_state_flag(kFlagAnimationRecording);
    return 0;
}

int add_frame() {
    if (g_animation.file == nullptr) return set_error_msg(kMsgNoAnimationRecording);
    if (!write_frame(g_animation.file)) {
        drop_recording();
        return failed(kMsgFileCannotWrite, g_animation.path);
    }
    ++g_animation.frames;
    return 0;
}

int finish_recording() {
    if (g_animation.file == nullptr) return set_error_msg(kMsgNoAnimationRecording);
    std::FILE* f = g_animation.file;
    g_animation.file = nullptr;
    clear_state_flag(kFlagAnimationRecording);
    if (!close_with_count(f, g_animation.frames))
        return failed(kMsgFileCannotWrite, g_animation.path);
    return 0;
}

int record_by_command() {
    finish_animation_recording();
    const std::string name = name_argument();
    const ArgCell* text_cell = arg_cell(1);
    const std::string command = text_cell != nullptr && text_cell->type == kArgChar &&
                                        text_cell->text_length > 0 &&
                                        text_cell->value.text != nullptr
                                    ? text_cell->value.text
                                    : "";
    const int n = std::max(0, static_cast<int>(arg_int(2)));
    std::string path;
    // An empty name would make a hidden file named only by its extension.
    if (name.empty()) return failed(kMsgFileCannotOpen, name);
    std::FILE* f = open_data_file(kDataFileAnimation, 0, &path, name.c_str(), "w+b");
    if (f == nullptr) return failed(kMsgFileCannotOpen, path);
    if (!write_int32(f, n)) {
        std::fclose(f);
        return failed(kMsgFileCannotWrite, path);
    }
    int frames = 0;
    int result = 0;
    for (int i = 1; i <= n; ++i) {
        msgbox_printf("%d/%d", i, n);
        const std::string line = command + " " + std::to_string(i) + " " + std::to_string(n);
        result = run_command_string(line.c_str(), 0);
        if (result != 0) break;
        if (!write_frame(f)) {
            std::fclose(f);
            return failed(kMsgFileCannotWrite, path);
        }
        ++frames;
    }
    // A run stopped early leaves the count of the frames it wrote, so the file still plays.
    if (!close_with_count(f, frames)) return failed(kMsgFileCannotWrite, path);
    return result;
}

struct FrameIndex {
    std::vector<long> positions;  // of each frame's words
    std::vector<int> lengths;     // bytes
    int largest = 0;
};

bool read_frame_words(std::FILE* f, long position, int length, std::vector<std::uint16_t>* out) {
    if (std::fseek(f, position, SEEK_SET) != 0) return false;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(length));
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) return false;
    out->resize(bytes.size() / 2);
    for (std::size_t i = 0; i < out->size(); ++i) {
        (*out)[i] = static_cast<std::uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return display_list_words_valid(out->data(), static_cast<int>(out->size()));
}

// Reads the count and every frame's length, and checks every frame before any is shown: a
// damaged file shows nothing and leaves the window's list as it was.
bool index_frames(std::FILE* f, FrameIndex* index) {
    if (std::fseek(f, 0, SEEK_END) != 0) return false;
    const long size = std::ftell(f);
    if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) return false;
    std::int32_t count = 0;
    if (!read_int32(f, &count)) return false;
    count = std::clamp(count, 0, kAnimationFrameLimit);
    std::vector<std::uint16_t> words;
    long position = 4;
    for (int i = 0; i < count; ++i) {
        std::int32_t length = 0;
        if (std::fseek(f, position, SEEK_SET) != 0 || !read_int32(f, &length)) return false;
        position += 4;
        if (length < 2 || length % 2 != 0 || length > size - position) return false;
        if (!read_frame_words(f, position, length, &words)) return false;
        index->positions.push_back(position);
        index->lengths.push_back(length);
        index->largest = std::max(index->largest, length);
        position += length;
    }
    return true;
}

void show_frame(const std::vector<std::uint16_t>& words) {
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list()) return;
    const int n = std::min(static_cast<int>(words.size()), g->capacity());
    std::copy(words.begin(), words.begin() + n, g->words.begin());
    g->write = n - 1;
    g->mark = -1;
    graphwin_offscreen(0);
}

// Off-screen drawing for as long as a playback runs, whichever way it ends.
struct OffscreenPlayback {
    OffscreenPlayback() { graphwin_offscreen(1); }
    ~OffscreenPlayback() { graphwin_offscreen(-1); }
    OffscreenPlayback(const OffscreenPlayback&) = delete;
    OffscreenPlayback& operator=(const OffscreenPlayback&) = delete;
};

// The frame numbers one pass shows.
std::vector<int> pass_order(int frames, int direction, bool last_pass) {
    std::vector<int> order;
    if (direction > 0) {
        for (int i = 1; i <= frames; ++i) order.push_back(i);
    } else if (direction < 0) {
        for (int i = frames; i >= 1; --i) order.push_back(i);
    } else {
        for (int i = 1; i <= frames; ++i) order.push_back(i);
        for (int i = frames - 1; i >= (last_pass ? 1 : 2); --i) order.push_back(i);
    }
    return order;
}

int play() {
    finish_animation_recording();
    const std::string name = name_argument();
    const int direction = arg_int(1);
    const int delay = arg_int(2);
    const int repeat = arg_int(3);
    std::string path;
    if (name.empty()) return failed(kMsgFileCannotOpen, name);
    File f(open_data_file(kDataFileAnimation, 0, &path, name.c_str(), "rb"));
    if (f == nullptr) return failed(kMsgFileCannotOpen, path);
    FrameIndex index;
    if (!index_frames(f.get(), &index)) return failed(kMsgFileDamaged, path);
    const int frames = static_cast<int>(index.positions.size());
    if (repeat < 0 || frames == 0) return 0;
    GraphicsWindow* g = graphics_current_record();
    if (g == nullptr || !g->has_list() || display_list_reserve(index.largest / 2) != 0) {
        return failed(kMsgFileDamaged, path);
    }
    OffscreenPlayback offscreen;
    msg_box(kMsgAnimationPlaying);
    std::vector<std::uint16_t> words;
    platform::UiBackend* ui = platform::current_ui();
    for (int pass = 0; pass <= repeat; ++pass) {
        for (int frame : pass_order(frames, direction, pass == repeat)) {
            if (delay > 0) elapsed_ms(1);
            const auto at = static_cast<std::size_t>(frame - 1);
            if (!read_frame_words(f.get(), index.positions[at], index.lengths[at], &words)) {
                return failed(kMsgFileDamaged, path);
            }
            show_frame(words);
            if (ui != nullptr && ui->poll_escape()) {
                if (const int answer = ask_msg(kMsgAnimationStopQuestion, frame); answer != 0) {
                    return answer;
                }
            }
            while (delay > 0 && elapsed_ms(0) < delay) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }
    return 0;
}

}  // namespace

bool display_list_words_valid(const std::uint16_t* words, int count) {
    if (words == nullptr || count < 1 || words[count - 1] != 0) return false;
    const int end = count - 1;
    int pos = 0;
    while (pos < end) {
        // A 0 before the end, or a kind the program never writes.
        const int operands = display_list_operands(words[pos]);
        if (operands < 0) return false;
        pos += 1 + operands;
    }
    return pos == end;
}

void finish_animation_recording() {
    if (g_animation.file == nullptr) return;
    std::FILE* f = g_animation.file;
    g_animation.file = nullptr;
    clear_state_flag(kFlagAnimationRecording);
    close_with_count(f, g_animation.frames);
}

int cmd_animation() {
    if (const int r = refuse_while_reading_lens_data(); r != 0) return r;
    const int command = current_command();
    int result = 0;
    switch (command) {
        case kCmdAnimOpen:
            return start_recording();
        case kCmdAnimFrame:
            result = add_frame();
            if (result == 0) return 0;
            break;
        case kCmdAnimClose:
            result = finish_recording();
            break;
        case kCmdAnimPlay:
            result = play();
            break;
        case kCmdAnimRecord:
            result = record_by_command();
            break;
        default:
            return 0;
    }
    if (command != kCmdAnimFrame || result != 0) drop_recording();
    return result;
}

void install_animation_commands() {
    set_handler(kSlotAnimation, cmd_animation);
}

namespace {
// A recording still open is closed as it stands, as when recording is given up.
void reset_animation_files() {
    drop_recording();
    g_animation.frames = 0;
    g_animation.path.clear();
}
const platform::StateReset animation_files_state_reset{
    "graphics/animation_files", reset_animation_files, platform::ResetLayer::graphics};
}  // namespace
