#include "msgcompiler/diagnostics.h"

#include "runtime/safe_format.h"

namespace vdm {

bool Diagnostics::open_table(const std::vector<std::uint8_t>& bytes) {
    close_table();
    if (load_message_table_pool(bytes, entries_, pool_) != kMessageFormatOk) return false;
    open_ = true;
    return true;
}

void Diagnostics::close_table() {
    entries_.clear();
    pool_.clear();
    open_ = false;
}

std::string Diagnostics::text_of(int code, unsigned& kind) const {
    if (!open_) {
        kind = kFatal;
        return "Error %d";
    }
    long slot = static_cast<long>(code) + kDiagnosticSlotBase;
    if (slot < 0 || slot >= static_cast<long>(entries_.size())) slot = 0;
    const MessageEntry& e = entries_[static_cast<std::size_t>(slot)];
    kind = e.kind;
    std::string text(pool_.begin() + e.offset, pool_.begin() + e.offset + e.length);
    // An empty text is stored as one zero byte.
    const std::size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
    return text;
}

void Diagnostics::report(int code) {
    report(code, position_ != nullptr ? position_->current_token_text() : std::string());
}

void Diagnostics::report(int code, const std::string& token) {
    if (fatal_) return;
    if (code >= 0) code = -22;
    unsigned kind = 0;
    const std::string text = text_of(code, kind);
    const std::string file = position_ != nullptr ? position_->position_name() : std::string();
    const int line = position_ != nullptr ? position_->position_line() : 0;
    if (code == last_code_ && line != 0 && line == last_line_ && file == last_file_) return;
    last_code_ = code;
    last_line_ = line;
    last_file_ = file;

    std::string out;
    if (kind & kSourcePosition) {
        out = format_text(" %s %d: ", file.empty() ? "UNDEFINED" : file.c_str(), line);
    } else {
        out = " ";
    }
    if (!open_) {
        out += format_text(text.c_str(), code);
    } else if (kind & kTokenFormat) {
        out += format_text(text.c_str(), token);
    } else {
        out += format_text(text.c_str());
    }
    out += "\n";
    if (sink_) sink_(out);
    if (kind & kFatal) {
        fatal_ = true;
        return;
    }
    ++count_;
    if (count_ > kErrorLimit && !limit_reported_) {
        limit_reported_ = true;
        report(-25);
    }
}

}  // namespace vdm
