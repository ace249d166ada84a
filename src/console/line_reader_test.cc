#include "console/line_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace gsadmin {
namespace {

using Lines = std::vector<std::string>;

// The texts of `lines`; a refused line shows as "refused: REASON".
Lines texts(const std::vector<InputLine>& lines) {
  Lines result;
  for (const InputLine& line : lines) {
    result.push_back(line.refusal.empty() ? line.text : "refused: " + line.refusal);
  }
  return result;
}

// What `reader` makes of `chunks`, read one after the other, input not ended.
Lines feed(LineReader& reader, const std::vector<std::string>& chunks) {
  Lines got;
  for (const std::string& chunk : chunks) {
    for (std::string& line : texts(reader.accept(chunk, false))) got.push_back(line);
  }
  return got;
}

TEST(LineReaderTest, SplitsChunksIntoLinesWithoutLosingAny) {
  struct Case {
    const char* name;
    std::vector<std::string> chunks;  // then the end of input
    Lines expected;
  };
  const Case cases[] = {
      {"plain", {"a\nb\n"}, {"a", "b"}},
      {"crlf", {"a\r\nb\r\n"}, {"a", "b"}},
      {"line across reads", {"he", "llo\nwor", "ld\n"}, {"hello", "world"}},
      {"crlf across reads", {"a\r", "\nb\n"}, {"a", "b"}},
      {"last line without newline", {"a\nlast"}, {"a", "last"}},
      {"last line with lone cr", {"last\r"}, {"last"}},
      {"empty lines kept", {"\n\nx\n"}, {"", "", "x"}},
      {"inner cr kept", {"a\rb\n"}, {"a\rb"}},
      {"nothing", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LineReader reader(-1);
    Lines got = feed(reader, c.chunks);
    EXPECT_FALSE(reader.atEnd());
    for (std::string& line : texts(reader.accept({}, true))) got.push_back(line);
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(got, c.expected);
    EXPECT_TRUE(reader.accept("more\n", true).empty());
  }
}

TEST(LineReaderTest, RefusesAnOverlongLineWholeAndGoesOnAfterItsNewline) {
  const std::string refusal = "refused: line too long (over 65536 bytes): ignored";
  const std::string longest(LineReader::kMaxLineBytes, 'x');
  std::string tooLong = ".note " + longest;
  struct Case {
    const char* name;
    std::vector<std::string> chunks;  // then the end of input
    Lines expected;
  };
  const Case cases[] = {
      {"longest accepted", {longest + "\n"}, {longest}},
      {"tail never runs", {tooLong + "/slap Bob\n.players\n"}, {refusal, ".players"}},
      {"across reads",
       {"a\n" + tooLong.substr(0, 9), tooLong.substr(9), "\nb\n"},
       {"a", refusal, "b"}},
      {"cut off by the end", {tooLong + ".lua x"}, {refusal}},
      {"two in a row", {tooLong + "\n" + tooLong + "\n"}, {refusal, refusal}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LineReader reader(-1);
    Lines got = feed(reader, c.chunks);
    for (std::string& line : texts(reader.accept({}, true))) got.push_back(line);
    EXPECT_EQ(got, c.expected);
  }
}

TEST(LineReaderTest, ReadsAPipeToItsEnd) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  LineReader reader(fds[0]);
  ASSERT_EQ(write(fds[1], ".kick 3\r\nhal", 12), 12);
  EXPECT_EQ(texts(reader.readAvailable()), Lines{".kick 3"});
  ASSERT_EQ(write(fds[1], "f", 1), 1);
  EXPECT_EQ(texts(reader.readAvailable()), Lines{});
  close(fds[1]);
  EXPECT_EQ(texts(reader.readAvailable()), Lines{"half"});
  EXPECT_TRUE(reader.atEnd());
  close(fds[0]);
}

TEST(LineReaderTest, DevNullAndClosedDescriptorEndAtOnceWithNoLines) {
  int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(devNull, 0);
  LineReader fromNull(devNull);
  EXPECT_EQ(texts(fromNull.readAvailable()), Lines{});
  EXPECT_TRUE(fromNull.atEnd());
  close(devNull);

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  close(fds[1]);
  LineReader fromClosed(fds[0]);
  EXPECT_EQ(texts(fromClosed.readAvailable()), Lines{});
  EXPECT_TRUE(fromClosed.atEnd());
}

}  // namespace
}  // namespace gsadmin
