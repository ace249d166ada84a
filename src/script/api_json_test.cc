// jsonEncode and jsonDecode in a real Lua state: round trips and refusals.

#include <gtest/gtest.h>

#include <string>

#include "script/api_test_script.h"

namespace gsadmin {
namespace {

using testing::BareApiState;

TEST(ApiJsonTest, EncodesAndDecodesRoundTrip) {
  BareApiState s;
  struct Case {
    const char* lua;
    const char* printed;
  };
  const Case cases[] = {
      {"print(jsonEncode({content = 'a \"quoted\" line'}))",
       "{\"content\":\"a \\\"quoted\\\" line\"}\n"},
      {"print(jsonEncode({1, 2.5, 'x', true, false}))", "[1,2.5,\"x\",true,false]\n"},
      {"print(jsonEncode({}))", "{}\n"},
      {"print(jsonEncode(nil), jsonEncode(jsonNull), jsonEncode(42))", "null\tnull\t42\n"},
      {"print(jsonEncode({a = {b = {c = {1, {d = jsonNull}}}}}))",
       "{\"a\":{\"b\":{\"c\":[1,{\"d\":null}]}}}\n"},
      {"print(jsonEncode({[1] = 'a', [3] = 'c'}))", "{\"1\":\"a\",\"3\":\"c\"}\n"},
      {"print(jsonEncode('caf\\195\\169 \\226\\130\\172'))", "\"caf\xc3\xa9 \xe2\x82\xac\"\n"},
      {"local v = jsonDecode('{\"a\":[1,null,\"three\"],\"b\":{\"c\":true}}')\n"
       "print(#v.a, v.a[1], v.a[2] == jsonNull, v.a[3], v.b.c)",
       "3\t1\ttrue\tthree\ttrue\n"},
      {"print(jsonDecode('\"\\\\u00e9\\\\u20ac \\\\ud83d\\\\ude00\"'))",
       "\xc3\xa9\xe2\x82\xac \xf0\x9f\x98\x80\n"},
      {"print(jsonDecode('null') == jsonNull, jsonDecode('12.5'), jsonDecode(' \"s\" '))",
       "true\t12.5\ts\n"},
      {"local t = {n = {1, 2, {x = 'y'}}, s = 'unicode \\226\\156\\147', z = jsonNull}\n"
       "print(jsonEncode(jsonDecode(jsonEncode(t))) == jsonEncode(t))",
       "true\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(s.run(c.lua), c.printed) << c.lua;
}

TEST(ApiJsonTest, RefusesInOneLineAndReturnsNothing) {
  BareApiState s;
  struct Case {
    const char* lua;
    const char* printed;
  };
  const Case cases[] = {
      {"show(jsonEncode())", "jsonEncode: Invalid argument #1.\n\n"},
      {"show(jsonEncode(0/0))", "jsonEncode: cannot encode NaN or infinity\n\n"},
      {"show(jsonEncode({f = print}))",
       "jsonEncode: cannot encode a function, userdata or thread\n\n"},
      {"show(jsonEncode({[true] = 1}))",
       "jsonEncode: a table key must be a string or a number\n\n"},
      {"show(jsonEncode('\\255'))", "jsonEncode: a string is not valid UTF-8\n\n"},
      {"local t = {} t.t = t show(jsonEncode(t))", "jsonEncode: nesting deeper than 64\n\n"},
      {"show(jsonDecode({}))", "jsonDecode: Invalid argument #1.\n\n"},
      {"show(jsonDecode(12))", "jsonDecode: Invalid argument #1.\n\n"},
      {"show(jsonDecode(string.rep(' ', 16777217)))", "jsonDecode: text over 16777216 bytes\n\n"},
      {"show(jsonDecode('{x'))",
       "jsonDecode: parse error at line 1, column 2: syntax error while parsing object key - "
       "invalid literal; last read: '{x'; expected string literal\n\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(s.run(c.lua), c.printed) << c.lua;
}

// 64 levels of arrays or objects, with or without a value at the deepest,
// are taken both ways; 65 are refused.
TEST(ApiJsonTest, SixtyFourLevelsOfNestingAndNoMore) {
  BareApiState s;
  s.run("function nest(n, t, key) for i = 2, n do t = {[key] = t} end return t end");
  for (std::string args :
       {"{}, 1", "{1}, 1", "{k = 1}, 1", "{}, 'k'", "{1}, 'k'", "{k = 1}, 'k'"}) {
    std::string deepest = "jsonEncode(nest(64, " + args + "))";
    EXPECT_EQ(s.run("print(jsonEncode(jsonDecode(" + deepest + ")) == " + deepest + ")"), "true\n")
        << args;
    EXPECT_EQ(s.run("show(jsonEncode(nest(65, " + args + ")))"),
              "jsonEncode: nesting deeper than 64\n\n")
        << args;
    EXPECT_EQ(s.run("show(jsonDecode('[' .. " + deepest + " .. ']'))"),
              "jsonDecode: nesting deeper than 64\n\n")
        << args;
  }
}

}  // namespace
}  // namespace gsadmin
