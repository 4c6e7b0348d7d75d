#include "compilers/user_compile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include "platform/environment.h"
#include "runtime/message_table.h"
#include "runtime/text_case.h"
#include "tools/table_builder/builders.h"

namespace fs = std::filesystem;

namespace compilers {
namespace {

bool starts_with(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// One table to be written: its bytes go to a temporary file first, and only when every table of
// the pass is written are they renamed into place, so a failed run leaves the old tables.
struct Output {
    fs::path path;
    Bytes bytes;
    fs::path temp() const { return fs::path(path.string() + ".tmp"); }
};

class Pass {
public:
    Pass(Tool tool, const std::vector<std::string>& args) : tool_(tool) { parse(args); }

    int run() {
        if (!bad_option_.empty()) return failed(bad_option_);
        const std::optional<std::string> root =
            platform::environment_get(upper_text(prefix_) + "ROOT");
        const std::optional<std::string> data =
            platform::environment_get(upper_text(prefix_) + "DATA");
        if (!root || root->empty()) return failed(upper_text(prefix_) + "ROOT is not set");
        if (private_ && (!data || data->empty()))
            return failed(upper_text(prefix_) + "DATA is not set");
        root_ = folder_of(*root);
        if (private_) data_ = folder_of(*data);
        load_messages();

        UserBuild user;
        user.describe = [this](int message, const std::string& token) {
            return describe(message, token);
        };
        std::string error;
        if (!list_sources(root_ / "public/kpl", false, user, error)) return failed(error);
        std::size_t own_tree = user.sources.size();
        if (private_) {
            if (!list_sources(data_ / "kpl", true, user, error)) return failed(error);
            own_tree = user.sources.size() - own_tree;
        }
        tree_ = private_ ? data_ : root_;
        return tool_ == Tool::procedures ? procedures(user, own_tree) : lists(user, own_tree);
    }

private:
    static fs::path folder_of(std::string text) {
        std::replace(text.begin(), text.end(), '\\', '/');
        return fs::path(text);
    }

    void parse(const std::vector<std::string>& args) {
        bool have_prefix = false;
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            const bool has_value = i + 1 < args.size();
            if (a == "-a" && has_value) {
                prefix_ = args[++i];
                have_prefix = true;
            } else if (a == "-m" && has_value) {
                diagnostics_file_ = args[++i];
            } else if (a == "-p") {
                private_ = true;
            } else if (a == "-D" && has_value) {
                ++i;  // a definition for the message compiler
            }
        }
        if (!have_prefix) {
            bad_option_ = "the table prefix (-a) is missing";
        } else if (prefix_.empty() || prefix_.size() > 3 ||
                   !std::all_of(prefix_.begin(), prefix_.end(), [](char c) {
                       return std::isalnum(static_cast<unsigned char>(c)) != 0;
                   })) {
            bad_option_ = "the table prefix must be one to three letters or digits";
        }
    }

    // The base messages of the installation, for the texts of the command-language compiler's
    // messages; without them a diagnostic gives the message number.
    void load_messages() {
        std::ifstream in(amo(root_, "rtmsgs.amo"), std::ios::binary);
        if (!in) return;
        const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<MessageEntry> entries;
        if (parse_message_table(bytes, entries) != 0) return;
        messages_ = bytes;
        entries_ = entries;
    }

    std::string describe(int message, const std::string& token) const {
        const long slot = message + 4000L;
        if (slot >= 0 && static_cast<std::size_t>(slot) < entries_.size() &&
            entries_[static_cast<std::size_t>(slot)].length > 0) {
            const MessageEntry& e = entries_[static_cast<std::size_t>(slot)];
            if (e.offset + e.length <= messages_.size()) {
                std::string format(messages_.begin() + e.offset,
                                   messages_.begin() + e.offset + e.length);
                // The texts are printf formats; only their one text conversion is filled in,
                // by hand, so that no user token ever reaches a format.
                std::string text;
                bool filled = false;
                for (std::size_t i = 0; i < format.size(); ++i) {
                    if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '%') {
                        text += '%';
                        ++i;
                    } else if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' &&
                               !filled) {
                        text += token;
                        filled = true;
                        ++i;
                    } else {
                        text += format[i];
                    }
                }
                while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
                    text.pop_back();
                }
                if (!filled && !token.empty()) text += " (at '" + token + "')";
                return text;
            }
        }
        return "message " + std::to_string(message) + " at '" + token + "'";
    }

    fs::path amo(const fs::path& tree, const std::string& name) const {
        return tree / "bin/amo" / (lower_text(prefix_) + name);
    }

    bool list_sources(const fs::path& folder, bool private_tree, UserBuild& user,
                      std::string& error) {
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) return true;  // no sources there
        std::vector<std::string> names;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string name = it->path().filename().string();
            std::error_code kind;
            if (it->is_regular_file(kind) && is_source_of(tool_, name)) names.push_back(name);
        }
        if (ec) {
            error = folder.string() + ": the folder cannot be read";
            return false;
        }
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return lower_text(a) < lower_text(b);
        });
        for (const std::string& name : names) {
            if (user.sources.size() >= kSourceFileCount) {
                user.problems.push_back({name, 0,
                                         "more than " + std::to_string(kSourceFileCount) +
                                             " source files; this one is not read"});
                continue;
            }
            user.sources.push_back({(folder / name).string(), name, private_tree});
        }
        return true;
    }

    std::vector<std::string> shipped(const char* folder, const char* extension,
                                     std::string& error) const {
        std::vector<std::string> files;
        const fs::path from = root_ / "bin/src" / folder;
        std::error_code ec;
        for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
            if (it->path().extension() == extension) files.push_back(it->path().string());
        }
        if (ec || files.empty()) {
            error = from.string() + ": the shipped sources cannot be read";
            files.clear();
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    int procedures(UserBuild& user, std::size_t own_tree) {
        std::string error;
        const std::vector<std::string> defs = shipped("definitions", ".def", error);
        if (defs.empty()) return failed(error);
        if (private_ && own_tree == 0) {
            // Nothing of the user's own: the public tables serve, and no private copy may hide
            // them.
            return remove_tables({"rtdefs.amo", "macode.amo", "pvcode.amo"});
        }
        Bytes table, code;
        if (!build_definitions(defs, table, error, &code, &user)) return faults(user, error);
        std::vector<Output> outputs = {{amo(tree_, "macode.amo"), code}};
        if (private_) {
            outputs.push_back({amo(tree_, "pvcode.amo"), user.private_code});
        }
        // The definitions last: they name code the tables above hold.
        outputs.push_back({amo(tree_, "rtdefs.amo"), table});
        return write_all(outputs);
    }

    int lists(UserBuild& user, std::size_t own_tree) {
        std::string error;
        const std::vector<std::string> lst = shipped("lists", ".lst", error);
        if (lst.empty()) return failed(error);
        if (own_tree == 0) return remove_tables({"ulists.amo"});
        Bytes table;
        if (!build_lists(lst, table, error, &user)) return faults(user, error);
        return write_all({{amo(tree_, "ulists.amo"), table}});
    }

    int remove_tables(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            std::error_code ec;
            fs::remove(amo(tree_, name), ec);
            if (ec) return failed(amo(tree_, name).string() + ": cannot be removed");
        }
        return succeeded();
    }

    int write_all(const std::vector<Output>& outputs) {
        std::error_code made;
        fs::create_directories(tree_ / "bin/amo", made);
        for (const Output& o : outputs) {
            std::ofstream file(o.temp(), std::ios::binary | std::ios::trunc);
            file.write(reinterpret_cast<const char*>(o.bytes.data()),
                       static_cast<std::streamsize>(o.bytes.size()));
            file.close();
            if (!file) {
                discard(outputs);
                return failed(o.temp().string() + ": cannot be written");
            }
        }
        for (const Output& o : outputs) {
            std::error_code ec;
            fs::rename(o.temp(), o.path, ec);
            if (ec) {
                discard(outputs);
                return failed(o.path.string() + ": cannot be written");
            }
        }
        return succeeded();
    }

    static void discard(const std::vector<Output>& outputs) {
        for (const Output& o : outputs) {
            std::error_code ec;
            fs::remove(o.temp(), ec);
        }
    }

    int faults(const UserBuild& user, const std::string& error) {
        if (user.problems.empty()) return failed(error);  // a shipped source is at fault
        std::string text;
        for (const SourceProblem& p : user.problems) {
            if (!p.file.empty()) {
                text += p.file;
                if (p.line > 0) text += "(" + std::to_string(p.line) + ")";
                text += ": ";
            }
            text += p.text + "\n";
        }
        report(text);
        return kExitSourceFaults;
    }

    int failed(const std::string& reason) {
        const char* name = tool_ == Tool::procedures ? "kpl" : "brx";
        report(std::string(name) + ": " + reason + "\n");
        std::fprintf(stderr, "%s: %s\n", name, reason.c_str());
        return kExitFailed;
    }

    int succeeded() {
        if (!diagnostics_file_.empty()) {
            std::error_code ec;
            fs::remove(diagnostics_file_, ec);
        }
        return kExitOk;
    }

    void report(const std::string& text) {
        if (diagnostics_file_.empty()) {
            std::fputs(text.c_str(), stdout);
            return;
        }
        std::ofstream file(diagnostics_file_, std::ios::binary | std::ios::trunc);
        file << text;
        if (!file) std::fputs(text.c_str(), stderr);
    }

    Tool tool_;
    std::string prefix_;
    std::string diagnostics_file_;
    bool private_ = false;
    std::string bad_option_;
    fs::path root_;
    fs::path data_;
    fs::path tree_;  // the tree whose tables this pass writes
    Bytes messages_;
    std::vector<MessageEntry> entries_;
};

}  // namespace

bool is_source_of(Tool tool, const std::string& file_name) {
    const std::string name = lower_text(file_name);
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".kpl") != 0) return false;
    const bool list = starts_with(name, "a_list") || starts_with(name, "a_menu");
    if (tool == Tool::lists) return list;
    return !list && !starts_with(name, "a_string");
}

int run(Tool tool, const std::vector<std::string>& args) {
    Pass pass(tool, args);
    return pass.run();
}

}  // namespace compilers
