// The preprocessor and lexer of KPL string sources: a stack of input levels (files, or a text
// given in memory), macros with "#define"/"#undef", conditional sections with "#ifdef"/"#ifndef"/
// "#endif", "#include", comments, and the tokens of the entry grammar. Problems are reported
// through the diagnostics; after a fatal one the reader only returns the end token.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "msgcompiler/diagnostics.h"

namespace vdm {

enum Token : int {
    kTokenEnd = 0,
    kTokenKind = 353,  // info/i, warning/w, error/e; value 0, 1, 2
    kTokenIdentifier = 901,
    kTokenInteger = 902,  // also a character constant
    kTokenReal = 903,
    kTokenString = 904,
    // Punctuation is returned as its character: ( ) * + , - : ;
};

inline constexpr std::size_t kInputLevelLimit = 9;
inline constexpr std::size_t kMacroLimit = 500;
inline constexpr std::size_t kIdentifierLimit = 47;  // characters kept of an identifier
inline constexpr std::size_t kNumberTextLimit = 380;
inline constexpr std::size_t kStringTextLimit = 381;
inline constexpr std::size_t kDirectiveArgumentLimit = 382;
inline constexpr std::size_t kPushBackLimit = 1024;  // macro text waiting to be read
inline constexpr int kMacroChainLimit = 64;          // expansions of expansions in a row
inline constexpr std::size_t kFileWindow = 512;
inline constexpr int kMacroDefined = 999;

class SourceReader : public PositionSource {
public:
    explicit SourceReader(Diagnostics& diagnostics);
    ~SourceReader() override;
    SourceReader(const SourceReader&) = delete;
    SourceReader& operator=(const SourceReader&) = delete;

    // Starts a new top-level source: closes every input, empties the macro table. 0 or -28.
    int open_source(const std::string& path, const std::string& shown_name);
    // The same for a text held in memory.
    void open_text(const std::string& text, const std::string& shown_name);
    void close_all();

    // 999, -10 (table full) or -11 (defined already). Names are compared without regard to case.
    int define_macro(const std::string& name, const std::string& value);
    bool macro_defined(const std::string& name) const;

    // The next token of the kept text (skipped sections, comments and directives consumed).
    int next_token();
    const std::string& token_text() const { return text_; }
    long long token_value() const { return value_; }

    std::string position_name() const override;
    int position_line() const override;
    std::string current_token_text() const override { return text_; }

private:
    struct Level;
    enum Origin : std::uint8_t { kFromInput, kFromMacro };

    int push_file(const std::string& path, const std::string& shown_name);
    int get_char(Origin* origin = nullptr);
    void unget_char(int c);
    int raw_get(Level& level);
    int raw_peek(Level& level);
    void drop_macro_text();
    void skip_block_comment();
    void skip_line_comment();
    std::string read_line_rest(bool& too_long);
    void directive();
    bool directive_name(const std::string& line, std::size_t& pos, std::string& name);
    void lex_number(int first);
    bool lex_char_constant();
    bool lex_string();
    bool expand_macro(Origin first_origin);

    Diagnostics& diagnostics_;
    std::vector<std::unique_ptr<Level>> levels_;
    std::vector<char> pending_;  // read from the back
    std::vector<Origin> pending_origin_;
    std::size_t macro_chars_ = 0;
    int chain_ = 0;
    Origin last_origin_ = kFromInput;
    std::map<std::string, std::string> macros_;
    int skip_depth_ = 0;
    std::string text_;
    long long value_ = 0;
};

}  // namespace vdm
