// The token reader: numbers in three bases, board marker, minus signs, words,
// strings with escapes, raw words, and the messages of malformed tokens.
#include "language/token_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "language_fixture.h"

namespace {


class TokenReader : public language_test::LanguageTest {
 protected:
  // Reads the line to its end; numbers show as themselves, words as w:text,
  // strings as s:"text", punctuation as its character, failed reads as fail.
  std::string Tokens(const char* line, std::string& output) {
    SetLine(line);
    std::string shown;
    output = Capture([&] {
      for (int i = 0; i < 12; ++i) {
        Token t{TOK_NONE, 0};
        const bool ok = ReadToken(t);
        if (!shown.empty()) shown += ' ';
        shown += ok ? Show(t) : "fail";
        if (ok && t.kind == TOK_END) break;
      }
    });
    return shown;
  }

  std::string Show(const Token& t) const {
    static const char* const kPunctuation[] = {"none", "", "", "", "end", "*", "(", ")",
                                               "!",    "+", "-", ",", "488.2", "$", "#"};
    switch (t.kind) {
      case TOK_NUMBER: return std::to_string(t.value);
      case TOK_WORD: return std::string("w:") + tokenPosition;
      case TOK_STRING: return "s:\"" + std::string(tokenPosition, t.value) + "\"";
      default: return t.kind >= 0 && t.kind <= TOK_HASH ? kPunctuation[t.kind] : "?";
    }
  }
};

TEST_F(TokenReader, Tokens) {
  const struct {
    const char* line;
    const char* tokens;
    const char* output;
  } kRows[] = {
      {"0x1F 0X1f 017 -12 2147483647 -2147483647", "31 31 15 -12 2147483647 -2147483647 end", ""},
      {"0 0x 00 -0", "0 0 0 0 end", ""},
      {"08", "fail end", "Number syntax\n"},
      {"12abc 5", "fail end", "Number syntax\n"},
      {"0x1g", "fail end", "Number syntax\n"},
      {"017 0x1F 08 12", "15 31 fail end", "Number syntax\n"},
      {"2147483648", "fail end", "Number out of range\n"},
      {"-2147483648", "fail end", "Number out of range\n"},
      {"0x80000000 1", "fail end", "Number out of range\n"},
      {"99999999999999999999999", "fail end", "Number out of range\n"},
      {"488.2 488.2 3", "488.2 488.2 3 end", ""},
      {"-488.2", "fail end", "Number syntax\n"},
      {"12,13", "12 , 13 end", ""},
      {"1.5", "1 fail 5 end", ""},
      {"- 5", "- 5 end", ""},
      {"-", "- end", ""},
      {"-\t", "- end", ""},
      {"-(", "( end", ""},
      {"-!", "! end", ""},
      {"-ibclr", "w:ibclr end", ""},
      {"-\"x\"", "s:\"x\" end", ""},
      {"--5", "fail 5 end", ""},
      {"-\v5", "fail 5 end", ""},
      {"!+,*()$#", "! + , * ( ) $ # end", ""},
      {"@x \x80", "fail w:x fail end", ""},
      {"ibWRT IbDev.X a1.b2,c", "w:ibwrt w:ibdev.x w:a1.b2 , w:c end", ""},
      {" \t\v\f\r5\r ", "5 end", ""},
      {"", "end", ""},
      {"\"abc", "fail end", "Non-terminated string\n"},
      {"\"abc\\", "fail end", "Non-terminated string\n"},
  };
  for (const auto& row : kRows) {
    std::string output;
    EXPECT_EQ(Tokens(row.line, output), row.tokens) << row.line;
    EXPECT_EQ(output, row.output) << row.line;
  }
}

TEST_F(TokenReader, StringEscapes) {
  const struct {
    const char* line;
    std::string bytes;
  } kRows[] = {
      {R"("a\nb\r\t\b")", "a\nb\r\t\b"},
      {R"("\x41\X4a\x4g")", "AJ\x04g"},
      {R"("\x123")", "\x12" "3"},
      {R"("\x" "\Xz")", "x"},
      {R"("\101\1011\18")", "AA1\x01" "8"},
      {R"("\777\400")", std::string("\xff\0", 2)},
      {R"("a\0b")", std::string("a\0b", 3)},
      {R"("\8\9\a\e\q")", "89aeq"},
      {R"("say \"hi\" \\ ok")", "say \"hi\" \\ ok"},
      {R"("")", ""},
      {R"(" spaced  out ")", " spaced  out "},
  };
  for (const auto& row : kRows) {
    SetLine(row.line);
    Token t{TOK_NONE, 0};
    ASSERT_TRUE(ReadToken(t)) << row.line;
    EXPECT_EQ(t.kind, TOK_STRING) << row.line;
    ASSERT_EQ(t.value, static_cast<int32_t>(row.bytes.size())) << row.line;
    EXPECT_EQ(std::string(tokenPosition, t.value), row.bytes) << row.line;
    EXPECT_EQ(tokenPosition[t.value], 0) << row.line;
  }
}

TEST_F(TokenReader, RawWords) {
  const struct {
    const char* line;
    const char* text;  // null: kind none
    const char* rest;
  } kRows[] = {
      {"  GPIB0  rest", "GPIB0", "  rest"},
      {"file.txt\tnext", "file.txt", "\tnext"},
      {"\"my dev\" x", "my dev", " x"},
      {"\"a\\nb\"", "a\\nb", ""},
      {"\"open ended", "open ended", ""},
      {"$#!,()", "$#!,()", ""},
      {"\"\" x", nullptr, " x"},
      {"   ", nullptr, ""},
  };
  for (const auto& row : kRows) {
    SetLine(row.line);
    Token t{TOK_RAW_WORD, 0};
    ASSERT_TRUE(ReadToken(t)) << row.line;
    if (row.text) {
      EXPECT_EQ(t.kind, TOK_RAW_WORD) << row.line;
      EXPECT_STREQ(tokenPosition, row.text) << row.line;
    } else {
      EXPECT_EQ(t.kind, TOK_NONE) << row.line;
    }
    EXPECT_STREQ(readCursor, row.rest) << row.line;
  }
}

}  // namespace
