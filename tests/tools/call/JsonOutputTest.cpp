// The events as scripts and people read them: JSON strings escaped so that any parser takes them
// (names and texts come from the far end), numbers that stay JSON, and the text a terminal shows.
// One object per line is what every program test reads.
#include "tools/call/EventPrinter.h"
#include "tools/call/JsonWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

using vantro::tool::EventPrinter;
using vantro::tool::JsonWriter;

namespace {

std::string Written(std::FILE* f) {
  std::string all(static_cast<std::size_t>(std::ftell(f)), '\0');
  std::rewind(f);
  all.resize(std::fread(all.data(), 1, all.size(), f));
  std::fclose(f);
  return all;
}

}  // namespace

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

TEST(JsonOutput, TextForPeopleStampedAndOneObjectALineForScripts) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EventPrinter printer(out, err, false, EventPrinter::Clock::now() - std::chrono::seconds(12));
  printer.Print("alerting", "from somewhere", JsonWriter().Add("call", 1));
  printer.Line("           a line as it is");
  printer.Error("cannot do it");
  // Seconds since the start, right-aligned, then the event and its text.
  EXPECT_TRUE(std::regex_match(Written(out), std::regex("   12\\.[0-9]{3}  alerting       from somewhere\n"
                                                        "           a line as it is\n")));
  EXPECT_EQ(Written(err), "vantro-call: cannot do it\n");
  // What scripts read: one object a line, its time first, errors among them; lines for people left out.
  std::FILE* json = std::tmpfile();
  std::FILE* none = std::tmpfile();
  EventPrinter scripts(json, none, true);
  scripts.Print("connected", "for people only");
  scripts.Line("for people only");
  scripts.Error("bad \"thing\"");
  const std::string lines = Written(json);
  EXPECT_TRUE(
      std::regex_match(lines, std::regex(R"(\{"time":[0-9.]+,"event":"connected"\}\n)"
                                         R"(\{"time":[0-9.]+,"event":"error","message":"bad \\"thing\\""\}\n)")))
      << lines;
  EXPECT_EQ(Written(none), "");
}
