// The JSON scripts read: strings escaped so that any parser takes them, and one object per line.

#include "tools/call/EventPrinter.h"
#include "tools/call/JsonWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>
#include <string>

using vantro::tool::EventPrinter;
using vantro::tool::JsonWriter;

namespace {

// What a printer wrote to a stream.
class Captured {
 public:
  Captured() : file_(std::tmpfile()) {}
  ~Captured() { std::fclose(file_); }
  std::FILE* get() { return file_; }
  std::string Text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string text;
    for (int c; (c = std::fgetc(file_)) != EOF;) text += static_cast<char>(c);
    return text;
  }

 private:
  std::FILE* file_;
};

}  // namespace

TEST(JsonOutput, StringsAreEscapedForAnyParser) {
  EXPECT_EQ(JsonWriter::Quote("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(JsonWriter::Quote("line\nnext\ttab\r"), R"("line\nnext\ttab\r")");
  EXPECT_EQ(JsonWriter::Quote(std::string("\x01\x1f\x7f", 3)), R"("\u0001\u001f\u007f")");
  EXPECT_EQ(JsonWriter::Quote(std::string("nul\0!", 5)), R"("nul\u0000!")");
  // UTF-8 passes; broken, overlong and surrogate sequences become U+FFFD one byte at a time.
  EXPECT_EQ(JsonWriter::Quote("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x9e"),
            "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\x9e\"");
  EXPECT_EQ(JsonWriter::Quote("a\xc3"), R"("a\ufffd")");
  EXPECT_EQ(JsonWriter::Quote("\xc0\xaf"), R"("\ufffd\ufffd")");
  EXPECT_EQ(JsonWriter::Quote("\xed\xa0\x80"), R"("\ufffd\ufffd\ufffd")");
  EXPECT_EQ(JsonWriter::Quote("\xff"), R"("\ufffd")");
}

TEST(JsonOutput, ObjectsNestAndNumbersStayJson) {
  JsonWriter inner;
  inner.Add("packets", std::uint64_t{18446744073709551615u}).Add("jitterMs", 1.25);
  JsonWriter outer;
  outer.Add("call", 1).Add("ok", true).Add("lost", -2).Add("level", std::nan("")).Add("received", inner).AddNull("x");
  EXPECT_EQ(
      outer.Text(),
      R"({"call":1,"ok":true,"lost":-2,"level":null,"received":{"packets":18446744073709551615,"jitterMs":1.250},"x":null})");
  EXPECT_EQ(JsonWriter().Text(), "{}");
}

TEST(JsonOutput, EachEventIsOneObjectWithTimeAndNameFirst) {
  Captured out, err;
  EventPrinter printer(out.get(), err.get(), true);
  printer.Print("alerting", "ignored in JSON", JsonWriter().Add("call", 1).Add("detail", "a \"b\"\nc"));
  printer.Print("connected", "");
  printer.Line("only for people");
  printer.Error("bad \"thing\"");
  const std::string text = out.Text();
  ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
  EXPECT_NE(text.find(R"("event":"alerting","call":1,"detail":"a \"b\"\nc"})"), std::string::npos) << text;
  EXPECT_EQ(text.rfind("{\"time\":", 0), 0u);
  EXPECT_NE(text.find(R"("event":"connected"})"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("event":"error","message":"bad \"thing\""})"), std::string::npos) << text;
  EXPECT_EQ(text.find("only for people"), std::string::npos);
  EXPECT_EQ(err.Text(), "");
}

TEST(JsonOutput, TextModeStampsEventsAndSendsErrorsToTheErrorStream) {
  Captured out, err;
  EventPrinter printer(out.get(), err.get(), false, EventPrinter::Clock::now() - std::chrono::seconds(12));
  printer.Print("alerting", "from somewhere", JsonWriter().Add("call", 1));
  printer.Line("           a line as it is");
  printer.Error("cannot do it");
  const std::string text = out.Text();
  // Seconds since the start, right-aligned, then the event and its text.
  EXPECT_TRUE(std::regex_search(text, std::regex("^   12\\.[0-9]{3}  alerting       from somewhere\n"))) << text;
  EXPECT_EQ(text.find("call"), std::string::npos);
  EXPECT_NE(text.find("\n           a line as it is\n"), std::string::npos) << text;
  EXPECT_EQ(err.Text(), "vantro-call: cannot do it\n");
}
