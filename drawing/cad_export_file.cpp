#include "drawing/cad_export_file.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/state_reset.h"
#include "platform/status.h"
#include "platform/ui.h"
#include "runtime/messages.h"
#include "runtime/settings.h"
#include "runtime/table_messages.h"
#include "tables/table_names.h"
#include "trace/drawing_buffers.h"

namespace {

int commit_whole(platform::AtomicFileWriter& writer, std::string_view text) {
    const int status = writer.write(text);
    return status != 0 ? status : writer.commit();
}

struct CadExportFileState {
    CadCommitStep commit = commit_whole;
};

CadExportFileState& state() {
    static CadExportFileState s;
    return s;
}

void reset_cad_export_file_state() {
    state() = CadExportFileState{};
}

const platform::StateReset cad_export_file_state_reset{
    "drawing/cad_export_file", reset_cad_export_file_state, platform::ResetLayer::feature};

}  // namespace

void set_cad_commit_step(CadCommitStep step) {
    state().commit = step != nullptr ? step : commit_whole;
}

std::string cad_export_path(const std::string& name) {
    if (platform::absolute_name(name)) return platform::to_native_path(name);
    const char* folder = get_setting_text(kSetPrivateDirectory, 0);
    return platform::join_path(folder != nullptr ? folder : "", name);
}

CadExportFile::~CadExportFile() {
    if (active_) restore();
    writer_.discard();
}

// A file name left out is asked for with the Save dialog: 0 and the chosen path, 1 when the
// dialog was cancelled (nothing is written), or the failure of the dialog.
int ask_cad_file(int mode, std::string& path) {
    platform::FileDialogRequest request;
    request.save = true;
    request.title = msg_text(kMsgExportDialogTitle);
    const char* folder = get_setting_text(kSetPrivateDirectory, 0);
    request.folder = folder != nullptr ? folder : "";
    if (mode == kCadModeIges) {
        request.default_extension = "igs";
        request.filters = {{"IGES files (*.igs)", "*.igs"}, {"All files (*.*)", "*.*"}};
    } else {
        request.default_extension = "dxf";
        request.filters = {{"DXF files (*.dxf)", "*.dxf"}, {"All files (*.*)", "*.*"}};
    }
    platform::UiBackend* ui = platform::current_ui();
    const platform::DialogResult result =
        ui != nullptr ? ui->file_dialog(request) : platform::DialogResult::failed;
    if (result == platform::DialogResult::cancelled) return 1;
    if (result != platform::DialogResult::ok || request.path.empty()) {
        return set_error_msg(kMsgCadFileCannotMake, "", "no file chosen");
    }
    path = request.path;
    return 0;
}

int CadExportFile::open(const std::string& name, int mode) {
    if (name.find_first_not_of(' ') == std::string::npos) {
        std::string chosen;
        const int asked = ask_cad_file(mode, chosen);
        if (asked == 1) return kCadExportCancelled;
        if (asked != 0) return asked;
        path_ = cad_export_path(chosen);
    } else {
        path_ = cad_export_path(name);
    }
    had_file_ = platform::path_exists(path_) && !platform::is_folder(path_);
    if (writer_.open(path_) != 0) {
        return set_error_msg(had_file_ ? kMsgLensWriteFailed : kMsgCadFileCannotMake, path_.c_str(),
                             writer_.reason().c_str());
    }
    CadOutput& out = cad_output();
    saved_sink_ = out.sink;
    saved_mode_ = drawing_buffers().output_mode;
    out.sink = &sink_;
    out.layer = 0;
    out.polyline_open = 0;
    out.vertex_count = 0;
    drawing_buffers().output_mode = mode;
    active_ = true;
    return 0;
}

void CadExportFile::restore() {
    CadOutput& out = cad_output();
    out.sink = saved_sink_;
    out.polyline_open = 0;
    out.vertex_count = 0;
    drawing_buffers().output_mode = saved_mode_;
    active_ = false;
}

int CadExportFile::finish(int result) {
    if (active_) restore();
    // A refused or failed drawing leaves the file as it was: half a drawing is no drawing.
    if (result != 0) {
        writer_.discard();
        return result;
    }
    const int status = state().commit(writer_, sink_.text());
    if (status == 0) {
        msg_box(kMsgDrawingFileWritten, path_.c_str());
        return 0;
    }
    writer_.discard();
    const std::string reason =
        writer_.reason().empty() ? platform::status_text(status) : writer_.reason();
    return set_error_msg(had_file_ ? kMsgLensWriteFailed : kMsgCadFileCannotMake, path_.c_str(),
                         reason.c_str());
}
