// Chat lines (id 3): public chat, private messages, the admin channel and
// private-message confirmations.

#include "protocol/chat_messages.h"

#include <gtest/gtest.h>

#include "protocol/inbound_test_script.h"

namespace gsadmin::testing {
namespace {

TEST(ChatTest, PublicChatSetsTheSendersStatus) {
  InboundFixture f;
  EXPECT_EQ(f.player(4)->status, 1);
  EXPECT_EQ(f.deliver(chatLine(4, 0, "hello")), "Ann: hello\nonPlayerChat 4 hello\n");
  EXPECT_EQ(f.player(4)->status, 0);
  EXPECT_EQ(f.deliver(chatLine(4, 200, "x")), "Ann: x\nonPlayerChat 4 x\n");
  EXPECT_EQ(f.player(4)->status, 200);
}

TEST(ChatTest, PrivateMessageLineAndEventCarryingTheWholeText) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(chatLine(4, 0, "/msg #2 see you there")),
            "Ann to #2: see you there\nonPlayerMessage 4 #2 see you there\n");
  EXPECT_EQ(f.deliver(chatLine(4, 0, "/msg   Bo")), "Ann to Bo: \nonPlayerMessage 4   Bo\n");
  EXPECT_EQ(f.deliver(chatLine(4, 0, "/msg Bo  two")),
            "Ann to Bo:  two\nonPlayerMessage 4 Bo  two\n");
}

TEST(ChatTest, PrivateMessageWithoutRecipientIsPublicChat) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(chatLine(4, 0, "/msg ")), "Ann: /msg \nonPlayerChat 4 /msg \n");
  EXPECT_EQ(f.deliver(chatLine(4, 0, "/msg    ")), "Ann: /msg    \nonPlayerChat 4 /msg    \n");
}

TEST(ChatTest, PrefixesAreExactAndCaseSensitive) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(chatLine(4, 0, "/msg#2 hi")), "Ann: /msg#2 hi\nonPlayerChat 4 /msg#2 hi\n");
  EXPECT_EQ(f.deliver(chatLine(4, 0, "/MSG #2 hi")),
            "Ann: /MSG #2 hi\nonPlayerChat 4 /MSG #2 hi\n");
  EXPECT_EQ(f.deliver(chatLine(4, 0, "/msg")), "Ann: /msg\nonPlayerChat 4 /msg\n");
  EXPECT_EQ(f.deliver(chatLine(0, 3, "/MSGR Bob: hi")),
            "ADMIN: /MSGR Bob: hi\nonAdminChat /MSGR Bob: hi\n");
  EXPECT_EQ(f.deliver(chatLine(0, 3, "/msgrBob: hi")),
            "ADMIN: /msgrBob: hi\nonAdminChat /msgrBob: hi\n");
}

TEST(ChatTest, AdminChannelAndConfirmations) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(chatLine(0, 3, "server restart soon")),
            "ADMIN: server restart soon\nonAdminChat server restart soon\n");
  EXPECT_EQ(f.deliver(chatLine(0, 3, "/msgr Bob: hi")),
            "PM SENT: Bob: hi\nonAdminMessage Bob: hi\n");
  // The sender byte of an admin line is not looked up.
  EXPECT_EQ(f.deliver(chatLine(99, 3, "x")), "ADMIN: x\nonAdminChat x\n");
}

TEST(ChatTest, ConfirmationNeedsABodyLongerThanTenBytes) {
  InboundFixture f;
  // sender, status, "/msgr a", NUL: exactly 10 bytes.
  Datagram ten = chatLine(0, 3, "/msgr a");
  ASSERT_EQ(ten.size() - 1, 10u);
  EXPECT_EQ(f.deliver(ten), "ADMIN: /msgr a\nonAdminChat /msgr a\n");
  Datagram eleven = chatLine(0, 3, "/msgr ab");
  EXPECT_EQ(f.deliver(eleven), "PM SENT: ab\nonAdminMessage ab\n");
}

TEST(ChatTest, UnknownSenderIsDroppedAndTouchesNobody) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(chatLine(99, 0, "hello")), "");
  EXPECT_EQ(f.player(4)->status, 1);
  EXPECT_EQ(f.deliver(Datagram{3}), "");  // sender 0, status 0: nobody
}

TEST(ChatTest, TextEndsAtNulOrEndOfBody) {
  InboundFixture f;
  EXPECT_EQ(f.deliver(Datagram{3, 4, 0, 'a', 'b'}), "Ann: ab\nonPlayerChat 4 ab\n");
  EXPECT_EQ(f.deliver(Datagram{3, 4, 0, 'a', 0, 'b'}), "Ann: a\nonPlayerChat 4 a\n");
  EXPECT_EQ(f.deliver(Datagram{3, 4, 0}), "Ann: \nonPlayerChat 4 \n");
}

TEST(ChatTest, ControlBytesArePrintedAsQuestionMarksButReachScriptsRaw) {
  InboundFixture f(
      "addEventHandler('onPlayerChat', 'raw')\n"
      "function raw(id, text) print(#text, text:byte(1), text:byte(7)) end\n");
  EXPECT_EQ(f.deliver(chatLine(4, 0, "\x1b[2Jhi\x07")),
            "Ann: ?[2Jhi?\nonPlayerChat 4 \x1b[2Jhi\x07\n7\t27\t7\n");
  EXPECT_EQ(f.deliver(chatLine(4, 0, "/msg \x1b[0m x\x7f")),
            "Ann to ?[0m: x?\nonPlayerMessage 4 \x1b[0m x\x7f\n");
}

}  // namespace
}  // namespace gsadmin::testing
