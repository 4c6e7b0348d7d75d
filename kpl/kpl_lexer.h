// The lexer of the command language: tokens of a command line, with a push-back stack through
// which the compiler rewrites text (numbered command forms, list words) to be read again.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tables/table_names.h"

// Token codes.
enum KplToken : int {
    kTokEnd = 900,
    kTokIdent = 901,
    kTokInt = 902,
    kTokReal = 903,
    kTokString = 904,
    kTokWhile = 9,
    kTokDo = 10,
    kTokContinue = 11,
    kTokBreak = 12,
    kTokIf = 13,
    kTokElse = 14,
    kTokFor = 15,
    kTokSwitch = 16,
    kTokCase = 17,
    kTokDefault = 18,
    kTokStrPref = 28,
    kTokQuestion = 97,
    kTokLBrace = 102,
    kTokRBrace = 103,
    kTokLBracket = 104,
    kTokRBracket = 105,
    kTokComma = 106,
    kTokDot = 107,
    kTokColon = 108,
    kTokSemicolon = 109,
    kTokLParen = 124,
    kTokRParen = 125,
    kTokApostrophe = 39,
    kTokUnary = 304,
    kTokBinary = 305,
    kTokAssign = 306,
    kTokIncDec = 308,
};

// The value of a kTokIncDec token ("++" or "--"). Operator and punctuation tokens carry their
// byte in the code (an operator's opcode, an assignment's byte) as their value, other
// punctuation its token code.
inline constexpr std::uint8_t kIncrementByte = 0x64;
inline constexpr std::uint8_t kDecrementByte = 0x65;

// Limits.
inline constexpr std::size_t kKplPushBackSize = 180;
inline constexpr std::size_t kKplTokenTextMax = 253;  // characters of a token's text
inline constexpr std::size_t kKplNumberTextMax = 252;
inline constexpr std::size_t kKplIdentMax = 47;
inline constexpr int kKplRealExponentMax = 128;
inline constexpr int kKplRealDigitsMax = 48;

struct KplLexer {
    const char* src = "";
    char push_back[kKplPushBackSize];
    std::size_t pushed = 0;
    int token = kTokEnd;
    std::int64_t value = 0;  // int value, real text length, string length, operator byte
    char text[kKplTokenTextMax + 1] = {};
    int line = 1;
    bool count_lines = false;
    bool expression_only = false;
    bool argument_mode = false;
    int paren_depth = 0;            // brackets open in command-argument mode
    bool blank_skipped = false;     // a peek skipped blanks that the next token must see
    bool last_from_source = false;  // the last character read came from the source text
    // A text of several lines run as one: a line's end closes a statement and a command's
    // arguments. crossed_line: a line end was skipped since the last token was read;
    // newline_before: one stood before the current token.
    bool lines_end_statements = false;
    bool crossed_line = false;
    bool newline_before = false;
    int error = 0;  // the first failure; once set every token is the end
};

void kpl_lexer_start(KplLexer& lx, const char* text);
// Reads the next token into lx.token/value/text: the token, or a message number (also kept in
// lx.error).
int kpl_next_token(KplLexer& lx);
// Pushes text back to be read before the rest of the source. 0 or -10.
int kpl_push_text(KplLexer& lx, const char* text);
// The next character that is not a blank, without reading it (0 at the end).
char kpl_peek_char(KplLexer& lx);
// Reads a bare word of a command-form argument: up to a blank, a comma, ';' or an unmatched
// bracket. 0, or a message number; the word in lx.text.
int kpl_read_bare_word(KplLexer& lx);
// The keyword code of a word, or 0.
int find_keyword(const char* word);
