// The message compiler's diagnostics: texts and kind bits come from its own message table
// ("msmsgs.amo", diagnostic d in slot d + 100). Kind bit 0 ends the run, bit 1 makes the text a
// format whose one "%s" takes the token text, bit 2 puts the source's base name and line first.
// Without a table every diagnostic reads "Error %d" with kind 1, so it ends the run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime/message_table.h"

namespace vdm {

inline constexpr int kDiagnosticSlotBase = 100;
inline constexpr int kErrorLimit = 30;  // more counted errors than this end the run

enum DiagnosticKind : unsigned { kFatal = 1, kTokenFormat = 2, kSourcePosition = 4 };

// Where the reported line is, and the text of the current token.
class PositionSource {
public:
    virtual ~PositionSource() = default;
    virtual std::string position_name() const = 0;  // empty when no source is open
    virtual int position_line() const = 0;
    virtual std::string current_token_text() const = 0;
};

class Diagnostics {
public:
    using Sink = std::function<void(const std::string& line)>;

    // Takes a table held in memory; false (and the table closed) on a damaged or foreign one.
    bool open_table(const std::vector<std::uint8_t>& bytes);
    void close_table();
    void set_sink(Sink sink) { sink_ = std::move(sink); }
    void set_position_source(const PositionSource* source) { position_ = source; }

    // Reports a diagnostic with the current token's text; a non-negative code stands for -22.
    void report(int code);
    // The same with the text the "%s" of a token-format diagnostic receives (a limit or a name).
    void report(int code, const std::string& token);

    bool stopped() const { return fatal_; }
    int error_count() const { return count_; }
    // The text and kind a diagnostic would be shown with.
    std::string text_of(int code, unsigned& kind) const;

private:
    std::vector<MessageEntry> entries_;
    std::vector<std::uint8_t> pool_;
    bool open_ = false;
    Sink sink_;
    const PositionSource* position_ = nullptr;
    bool fatal_ = false;
    bool limit_reported_ = false;
    int count_ = 0;
    int last_code_ = 0;
    int last_line_ = 0;
    std::string last_file_;
};

}  // namespace vdm
