// JSON strings escaped so that any parser takes them (names and texts come from the far end), and
// numbers that stay JSON. One object per line is what every program test reads.
#include "tools/call/JsonWriter.h"

#include <gtest/gtest.h>

#include <cmath>

using vantro::tool::JsonWriter;

TEST(JsonOutput, StringsAreEscapedForAnyParserAndNumbersStayJson) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\"b\\c", R"("a\"b\\c")"},
      {"line\nnext\ttab\r", R"("line\nnext\ttab\r")"},
      {std::string("\x01\x1f\x7f nul\0!", 9), R"("\u0001\u001f\u007f nul\u0000!")"},
      // UTF-8 passes; broken, overlong and surrogate sequences become U+FFFD one byte at a time.
      {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x9e", "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x9e\""},
      {"a\xc3", R"("a\ufffd")"},
      {"\xc0\xaf", R"("\ufffd\ufffd")"},
      {"\xed\xa0\x80", R"("\ufffd\ufffd\ufffd")"},
      {"\xff", R"("\ufffd")"},
  };
  for (const auto& [text, quoted] : cases) EXPECT_EQ(JsonWriter::Quote(text), quoted);
  JsonWriter inner;
  inner.Add("packets", std::uint64_t{18446744073709551615u});
  EXPECT_EQ(JsonWriter().Add("lost", -2).Add("level", std::nan("")).Add("received", inner).Text(),
            R"({"lost":-2,"level":null,"received":{"packets":18446744073709551615}})");
}
