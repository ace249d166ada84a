#include "protocol/body_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace gsadmin {
namespace {

TEST(BodyReaderTest, ReadsPastTheEndAsZero) {
  const uint8_t data[] = {0x01, 0x02, 0x03};
  BodyReader body(data, 2);  // the third byte is not part of the body
  EXPECT_EQ(body.byteAt(0), 1);
  EXPECT_EQ(body.byteAt(1), 2);
  EXPECT_EQ(body.byteAt(2), 0);
  EXPECT_EQ(body.byteAt(1000000), 0);
  EXPECT_EQ(body.u32At(0), 0x0201u);
  EXPECT_EQ(body.u32At(1), 0x02u);
  EXPECT_EQ(body.u32At(2), 0u);
  EXPECT_EQ(body.u32At(SIZE_MAX - 1), 0u);  // the offset must not wrap into the body
  EXPECT_EQ(BodyReader(nullptr, 0).u32At(0), 0u);
  EXPECT_EQ(BodyReader(nullptr, 0).byteAt(0), 0);
  EXPECT_EQ(BodyReader(nullptr, 0).textAt(0), "");
}

TEST(BodyReaderTest, LittleEndianNumbers) {
  const uint8_t data[] = {0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 0x3F};
  BodyReader body(data, sizeof(data));
  EXPECT_EQ(body.u32At(0), 0x12345678u);
  EXPECT_EQ(body.floatAt(4), 1.0f);
  const uint8_t minusOne[] = {0xFF};
  EXPECT_EQ(BodyReader(minusOne, 1).signedByteAt(0), -1);
}

TEST(BodyReaderTest, TextsStopAtNulEndOrLimit) {
  const char raw[] = "abc\0def";
  BodyReader body(reinterpret_cast<const uint8_t*>(raw), 7);
  EXPECT_EQ(body.textAt(0), "abc");
  EXPECT_EQ(body.textAt(4), "def");  // runs to the end of the body
  EXPECT_EQ(body.textAt(4, 2), "de");
  EXPECT_EQ(body.textAt(7), "");
  EXPECT_EQ(body.textAt(100), "");
}

TEST(BodyReaderTest, PrefixesAreExactAndBounded) {
  const char raw[] = "xx/msg hi";
  BodyReader body(reinterpret_cast<const uint8_t*>(raw), std::strlen(raw));
  EXPECT_TRUE(body.hasPrefixAt(2, "/msg "));
  EXPECT_FALSE(body.hasPrefixAt(2, "/MSG "));
  EXPECT_FALSE(body.hasPrefixAt(2, "/msgr "));
  EXPECT_FALSE(body.hasPrefixAt(8, "ix"));  // would run past the end
  EXPECT_FALSE(body.hasPrefixAt(50, "a"));
}

}  // namespace
}  // namespace gsadmin
