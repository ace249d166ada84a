#include "protocol/outbound.h"

#include <gtest/gtest.h>

#include <string>

#include "protocol/wire.h"
#include "sim/server_messages.h"

namespace gsadmin {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes withText(Bytes head, const std::string& text, Bytes tail) {
  head.insert(head.end(), text.begin(), text.end());
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

TEST(OutboundTest, LoginLayout) {
  EXPECT_EQ(buildLogin("Admin", "73519"), withText({0x0D, 0x30, 0x02}, "Admin|73519", {0x00}));
  // The separator and the final NUL are sent even when a part is empty.
  EXPECT_EQ(buildLogin("Admin", ""),
            (Bytes{0x0D, 0x30, 0x02, 'A', 'd', 'm', 'i', 'n', 0x7C, 0x00}));
  EXPECT_EQ(buildLogin("", ""), (Bytes{0x0D, 0x30, 0x02, 0x7C, 0x00}));
  EXPECT_EQ(buildLogin("", "pw"), (Bytes{0x0D, 0x30, 0x02, 0x7C, 'p', 'w', 0x00}));
  // No escaping: a bar in the name is sent as it is.
  EXPECT_EQ(buildLogin("a|b", "c").size(), 5u + 3u + 1u);
}

TEST(OutboundTest, FixedSizeRequests) {
  EXPECT_EQ(buildKeepAliveAnswer(), (Bytes{0x35, 0x00}));
  EXPECT_EQ(buildPlayerDetailsRequest(5), (Bytes{0x1D, 0x05}));
  EXPECT_EQ(buildPlayerDetailsRequest(255), (Bytes{0x1D, 0xFF}));
  EXPECT_EQ(buildKickRequest(12), (Bytes{0x0E, 0x0C, 0x00}));
  EXPECT_EQ(buildBanRequest(12), (Bytes{0x0F, 0x0C, 0x00}));
}

TEST(OutboundTest, ChatFrames) {
  EXPECT_EQ(buildChatFrame("hi"), (Bytes{0x03, 0x03, 'h', 'i', 0x00}));
  EXPECT_EQ(buildChatFrame(""), (Bytes{0x03, 0x03, 0x00}));
  EXPECT_EQ(buildChatFrame("/msg #7 hello"), withText({0x03, 0x03}, "/msg #7 hello", {0x00}));
  EXPECT_EQ(buildChatFrame("/msg #7 hello").size(), 16u);
  EXPECT_EQ(buildChatFrame("/slap Bob").size(), 12u);
  EXPECT_EQ(buildChatFrame("100%s %d"), withText({0x03, 0x03}, "100%s %d", {0x00}));
}

TEST(OutboundTest, ChatFrameTextIsCutAt511Bytes) {
  std::string exact(wire::kMaxChatText, 'x');
  EXPECT_EQ(buildChatFrame(exact), withText({0x03, 0x03}, exact, {0x00}));
  std::string longer = exact + "yz";
  EXPECT_EQ(buildChatFrame(longer), withText({0x03, 0x03}, exact, {0x00}));
  EXPECT_EQ(buildChatFrame(std::string(100000, 'q')).size(), wire::kMaxChatText + 3);
}

}  // namespace
}  // namespace gsadmin
