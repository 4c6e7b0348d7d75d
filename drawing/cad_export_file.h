// The file of one CAD export. The name is resolved first ('\' read as '/', a relative name
// taken in the data folder) and the temporary file made before anything is drawn, so a name
// that cannot be written costs no drawing; the drawing is composed in memory through the lens
// drawing's sink and put in place whole at the end. A failed write keeps the old file.
#pragma once

#include <string>
#include <string_view>

#include "drawing/cad_output.h"
#include "platform/text_file.h"

// The step that puts the composed text in place: writes it through the writer and commits;
// 0 or a platform status. Tests replace it to make a commit fail.
using CadCommitStep = int (*)(platform::AtomicFileWriter& writer, std::string_view text);
// Installs a commit step; null puts the ordinary one back.
void set_cad_commit_step(CadCommitStep step);

// The path a typed CAD file name stands for.
std::string cad_export_path(const std::string& name);

// What open answers when the Save dialog asked for the name was cancelled: nothing is written
// and the command ends without an error.
inline constexpr int kCadExportCancelled = 1;

class CadExportFile {
public:
    CadExportFile() = default;
    ~CadExportFile();
    CadExportFile(const CadExportFile&) = delete;
    CadExportFile& operator=(const CadExportFile&) = delete;

    // Makes the temporary file of the named file and, on success, sends the drawing output into
    // memory in the given mode (kCadModeDxf or kCadModeIges). An empty name is asked for with
    // the Save dialog. 0, kCadExportCancelled, or -1802 (reported) when the file cannot be made.
    // A file put in place is reported on the status line by finish.
    int open(const std::string& name, int mode);
    // Puts the output mode and sink back and, when the drawing succeeded (result 0), commits
    // the text: 0 when the file is in place, else the failure of the write (reported). A
    // failed or refused drawing writes nothing and its result comes back.
    int finish(int result);
    // The file written (known once open succeeded).
    const std::string& path() const { return path_; }

private:
    void restore();

    platform::AtomicFileWriter writer_;
    StringCadSink sink_;
    std::string path_;
    CadSink* saved_sink_ = nullptr;
    int saved_mode_ = 0;
    bool had_file_ = false;
    bool active_ = false;
};
