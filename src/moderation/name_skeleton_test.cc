#include "moderation/name_skeleton.h"

#include <gtest/gtest.h>

#include <string>

#include "moderation/record_store.h"

namespace gsadmin {
namespace {

TEST(NameSkeletonsTest, LookAlikesMeetAndOtherNamesDoNot) {
  struct Case {
    std::string a;
    std::string b;
    bool same;
  };
  const Case cases[] = {
      {"Eve", "EVE", true},
      {"Eve", "Ev\xd0\xb5", true},                            // Cyrillic е
      {"Eve", "\xd0\x95v\xd0\xb5", true},                     // Cyrillic Е and е
      {"Eve", "\xef\xbc\xa5v\xef\xbd\x85", true},             // fullwidth Ｅ and ｅ
      {"Eve", "\xef\xbc\xa5\xef\xbc\xb6\xef\xbc\xa5", true},  // ＥＶＥ
      {"Paul", "Pau\xe2\x85\xbc", true},                      // small roman numeral fifty
      {"Sam", "Sarn", true},                                  // r and n as m: by design
      {"Bob", "B0b", true},                                   // zero as o
      {"\xc3\x89ve", "\xc3\xa9VE", true},                     // É and é
      {"Eve", "Eva", false},
      {"Eve", "Eve2", false},
      {"Eve", "Ev", false},
      {"Eve", "Ev\xe9", false},  // Latin-1 é: no UTF-8
  };
  NameSkeletons skeletons;
  for (const Case& c : cases) {
    EXPECT_EQ(skeletons.of(c.a) == skeletons.of(c.b), c.same) << c.a << " / " << c.b;
  }
}

TEST(NameSkeletonsTest, TextThatIsNoUtf8KeepsItsNameKey) {
  NameSkeletons skeletons;
  // Latin-1, stray bytes, a cut sequence, an encoded surrogate.
  for (const char* name : {"Ev\xe9", "\xff\xfe", "A\xc3", "\xed\xa0\x80x"}) {
    EXPECT_EQ(skeletons.of(name), nameKey(name)) << name;
  }
  EXPECT_EQ(skeletons.of(std::string("B\0b", 3)), skeletons.of(std::string("b\0B", 3)));
  EXPECT_EQ(skeletons.of(""), "");
  // Cut as a name key is, so that a long name meets its stored key.
  std::string longName(300, 'x');
  EXPECT_EQ(skeletons.of(longName), skeletons.of(longName.substr(0, kMaxNameBytes)));
}

}  // namespace
}  // namespace gsadmin
