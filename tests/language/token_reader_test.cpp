// The token reader: strings with their escapes, and the messages of malformed strings.
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

}  // namespace
