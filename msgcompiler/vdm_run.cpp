#include "msgcompiler/vdm_run.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "msgcompiler/diagnostics.h"
#include "msgcompiler/source_reader.h"
#include "msgcompiler/string_compiler.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "runtime/text_case.h"

namespace vdm {

namespace {

bool read_bytes(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) std::fclose(f);
    }
};

class Run {
public:
    int run(const std::vector<std::string>& args);

private:
    void parse_options(const std::vector<std::string>& args);
    int finish_failed();
    std::string amo(const std::string& tree, const std::string& name) const {
        return tree + "/bin/amo/" + lower_text(prefix_) + name;
    }
    std::string out_tree() const { return public_ ? root_ : data_; }

    std::string prefix_;
    bool public_ = true;
    bool delete_on_error_ = false;
    bool have_prefix_ = false;
    std::string diagnostics_file_;
    std::vector<Definition> definitions_;
    int option_error_ = 0;
    std::string option_token_;
    std::string root_, data_;

    Diagnostics diagnostics_;
    std::unique_ptr<std::FILE, FileCloser> m_file_;
    std::string temp_path_;
};

void Run::parse_options(const std::vector<std::string>& args) {
    auto fail = [&](int code, const std::string& token) {
        if (option_error_ == 0) {
            option_error_ = code;
            option_token_ = token;
        }
    };
    for (std::size_t i = 0; i < args.size() && option_error_ == 0; ++i) {
        const std::string& a = args[i];
        if (a.empty() || a[0] != '-') break;
        if (a.size() != 2) {
            fail(-27, a);
            break;
        }
        const bool has_value = i + 1 < args.size();
        switch (a[1]) {
            case 'a':
            case 'm':
            case 'c':
            case 'g':
            case 'l':
                if (!has_value) {
                    fail(-23, a);
                    break;
                }
                ++i;
                if (a[1] == 'a') {
                    prefix_ = args[i];
                    have_prefix_ = true;
                } else if (a[1] == 'm') {
                    diagnostics_file_ = args[i];
                }
                break;
            case 'D':
                if (!has_value) break;  // "-D" as the last argument is ignored
                ++i;
                if (args[i].size() >= kDefinitionTextLimit ||
                    static_cast<int>(definitions_.size()) >= kDefinitionLimit) {
                    fail(-27, a);
                    break;
                } else {
                    const std::size_t eq = args[i].find('=');
                    if (eq == std::string::npos) {
                        definitions_.emplace_back(lower_text(args[i]), "0");
                    } else {
                        definitions_.emplace_back(lower_text(args[i].substr(0, eq)),
                                                  args[i].substr(eq + 1));
                    }
                }
                break;
            case 'p':
                public_ = false;
                break;
            case 'x':
                delete_on_error_ = true;
                break;
            default:
                fail(-27, a);
        }
    }
    if (option_error_ != 0) return;
    if (!have_prefix_) {
        fail(-23, "-a");
    } else if (prefix_.empty() || prefix_.size() > 3) {
        fail(-26, prefix_);
    } else if (upper_text(prefix_) == "AM") {
        fail(-42, prefix_);
    }
}

int Run::finish_failed() {
    if (!temp_path_.empty()) platform::remove_file(temp_path_);
    if (!public_ && delete_on_error_ && !out_tree().empty()) {
        platform::remove_file(amo(out_tree(), "usmsgs.amo"));
    }
    m_file_.reset();
    return kExitFailed;
}

int Run::run(const std::vector<std::string>& args) {
    parse_options(args);

    // Folders. A missing one is fatal: tables would otherwise be read, written and deleted in
    // whatever the current folder is.
    std::string missing;
    if (have_prefix_) {
        const std::string p = upper_text(prefix_);
        root_ = platform::environment_get(p + "ROOT").value_or("");
        data_ = platform::environment_get(p + "DATA").value_or("");
        std::replace(root_.begin(), root_.end(), '\\', '/');
        std::replace(data_.begin(), data_.end(), '\\', '/');
        if (root_.empty()) {
            missing = p + "ROOT";
        } else if (!public_ && data_.empty()) {
            missing = p + "DATA";
        }
    }

    if (!root_.empty()) {
        std::vector<std::uint8_t> table;
        if (read_bytes(amo(root_, "msmsgs.amo"), table)) diagnostics_.open_table(table);
    }
    if (!diagnostics_file_.empty()) {
        m_file_.reset(std::fopen(diagnostics_file_.c_str(), "wb"));
    }
    diagnostics_.set_sink([this](const std::string& line) {
        std::FILE* out = m_file_ ? m_file_.get() : stdout;
        std::fputs(line.c_str(), out);
        std::fflush(out);
    });

    if (option_error_ != 0) {
        diagnostics_.report(option_error_, option_token_);
        if (diagnostics_.stopped()) return finish_failed();
    }
    if (!missing.empty()) {
        diagnostics_.report(-44, missing);
        return finish_failed();
    }

    // The sources: sorted, the first 19 taken, every other one reported so the run fails.
    const std::string folder = public_ ? root_ + "/public/kpl" : data_ + "/kpl";
    std::vector<platform::FolderEntry> entries;
    const int listed =
        platform::list_folder(folder, "a_string*.kpl", platform::kListFiles, entries);
    std::vector<std::string> sources;
    if (listed != 0 && platform::is_folder(folder)) {
        diagnostics_.report(-43, folder);
        if (diagnostics_.stopped()) return finish_failed();
    }
    for (const platform::FolderEntry& e : entries) {
        if (e.name.size() < 256) sources.push_back(e.name);
    }
    std::sort(sources.begin(), sources.end(), [](const std::string& a, const std::string& b) {
        return lower_text(a) < lower_text(b);
    });

    if (!m_file_) {
        std::fputs(public_ ? "Compiling public kpl strings\n" : "Compiling private kpl strings\n",
                   stdout);
        std::fflush(stdout);
    }

    const std::string output = amo(out_tree(), "usmsgs.amo");
    if (sources.empty()) {
        platform::remove_file(output);
        m_file_.reset();
        if (!diagnostics_file_.empty()) platform::remove_file(diagnostics_file_);
        return kExitOk;
    }
    for (std::size_t i = kSourceLimit; i < sources.size(); ++i) {
        diagnostics_.report(-45, lower_text(sources[i]));
        if (diagnostics_.stopped()) return finish_failed();
    }
    if (sources.size() > static_cast<std::size_t>(kSourceLimit)) sources.resize(kSourceLimit);

    // The base table: the public base messages, or for the private tree the public user table
    // (which holds the base messages too) unless it is missing or older than the base messages.
    std::string base = amo(root_, "rtmsgs.amo");
    if (!public_) {
        const std::string user = amo(root_, "usmsgs.amo");
        std::int64_t user_time = 0, base_time = 0;
        if (platform::path_exists(user) && platform::modification_time(user, user_time) == 0 &&
            (platform::modification_time(base, base_time) != 0 || user_time >= base_time)) {
            base = user;
        }
    }
    UserTable table;
    std::vector<std::uint8_t> base_bytes;
    if (!read_bytes(base, base_bytes)) {
        diagnostics_.report(-19, base);
        return finish_failed();
    }
    const int loaded = table.load_base(base_bytes);
    if (loaded != 0) {
        diagnostics_.report(loaded, base);
        return finish_failed();
    }

    SourceReader reader(diagnostics_);
    StringCompiler compiler(reader, diagnostics_, table);
    for (const std::string& name : sources) {
        if (reader.open_source(folder + "/" + name, lower_text(name)) != 0) {
            reader.close_all();
            diagnostics_.report(-28, lower_text(name));
        } else {
            compiler.compile_strings(definitions_);
            reader.close_all();
        }
        if (diagnostics_.stopped()) return finish_failed();
    }
    if (diagnostics_.error_count() > 0) return finish_failed();

    if (table.highest == 0) {
        diagnostics_.report(-30);
        return finish_failed();
    }
    std::vector<std::uint8_t> bytes;
    if (table.to_bytes(bytes) != 0) {
        diagnostics_.report(-31);
        return finish_failed();
    }
    temp_path_ = amo(out_tree(), "usmsgs.tmp");
    std::FILE* f = std::fopen(temp_path_.c_str(), "wb");
    if (f == nullptr) {
        diagnostics_.report(-29, temp_path_);
        temp_path_.clear();
        return finish_failed();
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        diagnostics_.report(-40, temp_path_);
        return finish_failed();
    }
    platform::remove_file(output);
    if (platform::rename_path(temp_path_, output) != 0) {
        diagnostics_.report(-40, output);
        return finish_failed();
    }
    temp_path_.clear();
    m_file_.reset();
    if (!diagnostics_file_.empty()) platform::remove_file(diagnostics_file_);
    return kExitOk;
}

}  // namespace

int run(const std::vector<std::string>& args) {
    Run r;
    return r.run(args);
}

}  // namespace vdm
