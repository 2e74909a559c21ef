// Cuts the current line into tokens.
#pragma once
#include <cstdint>

enum TokenKind : int32_t {
  TOK_NONE, TOK_NUMBER, TOK_STRING, TOK_WORD, TOK_END, TOK_STAR, TOK_OPEN,
  TOK_CLOSE, TOK_BANG, TOK_PLUS, TOK_MINUS, TOK_COMMA, TOK_BOARD, TOK_DOLLAR,
  TOK_HASH, TOK_RAW_WORD,
};

struct Token {
  int32_t kind;   // on entry: TOK_RAW_WORD asks for a raw word
  int32_t value;  // number, or string length
};

constexpr int kTokenBufferSize = 4096;
// What a command-loop level owns for its tokens: the buffer a line is read
// into, followed by the copy that keeps the last committed command's text.
constexpr int kLevelTokenStorage = 2 * kTokenBufferSize;
// The token buffer of the running command-loop level (kLevelTokenStorage
// bytes), and where the next word or string is written in it. Set by the
// command loop for each line.
extern char* tokenBuffer;
extern char* tokenPosition;

// Reads one token at the read cursor. Text of words, strings and raw words
// is written at tokenPosition (which does not move).
bool ReadToken(Token& token);
int DigitValue(char c, int base);
