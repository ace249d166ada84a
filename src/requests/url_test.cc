#include "requests/url.h"

#include <gtest/gtest.h>

#include "requests/url_allow_list.h"

namespace gsadmin {
namespace {

TEST(UrlTest, NormalisesOrRefuses) {
  struct Case {
    const char* text;
    const char* normal;  // null: refused
  };
  const Case cases[] = {
      {"HTTPS://Chat.Example/api", "https://chat.example/api"},
      {"http://h", "http://h/"},
      {"http://h:80/a", "http://h/a"},
      {"http://h:8080/a?b=c#frag", "http://h:8080/a?b=c"},
      {"http://h/a/./b/../c", "http://h/a/c"},
      {"http://h/hook/../admin", "http://h/admin"},
      {"http://h/hook/%2e%2e/admin", "http://h/admin"},
      {"http://h/a/..", "http://h/"},
      {"http://h/../../x", "http://h/x"},
      {"http://h/a b/%7euser/%2f", "http://h/a%20b/~user/%2F"},
      {"http://h\\@other/", "http://h/%5C@other/"},
      {"http://[::1]:9/x", "http://[::1]:9/x"},
      {"http://allowed@other/", nullptr},
      {"http://user:pw@h/", nullptr},
      {"ftp://h/", nullptr},
      {"h/path", nullptr},
      {"http:///path", nullptr},
      {"http://h:0/", nullptr},
      {"http://h:65536/", nullptr},
      {"http://h:8x/", nullptr},
      {"http://h/%zz", nullptr},
      {"http://h/a\nb", nullptr},
      {"http://h_/", nullptr},
  };
  for (const Case& c : cases) {
    std::string error;
    std::optional<Url> url = parseUrl(c.text, &error);
    if (c.normal == nullptr) {
      EXPECT_FALSE(url) << c.text << " -> " << url->text();
      EXPECT_FALSE(error.empty()) << c.text;
    } else {
      ASSERT_TRUE(url) << c.text << ": " << error;
      EXPECT_EQ(url->text(), c.normal) << c.text;
    }
  }
}

TEST(UrlTest, ResolvesRedirectTargets) {
  std::string error;
  Url base = *parseUrl("https://h:8443/a/b?q", &error);
  EXPECT_EQ(resolveUrl(base, "c", &error)->text(), "https://h:8443/a/c");
  EXPECT_EQ(resolveUrl(base, "/x/../y", &error)->text(), "https://h:8443/y");
  EXPECT_EQ(resolveUrl(base, "//other/z", &error)->text(), "https://other/z");
  EXPECT_EQ(resolveUrl(base, "http://else/", &error)->text(), "http://else/");
  EXPECT_FALSE(resolveUrl(base, "http://u@else/", &error));
}

TEST(UrlAllowListTest, MatchesSchemeHostPortAndPathPrefix) {
  UrlAllowList list;
  EXPECT_EQ(list.add("https://chat.example/hooks/42"), "");
  EXPECT_EQ(list.add("http://127.0.0.1:8080/"), "");
  EXPECT_NE(list.add("https://u@chat.example/"), "");
  struct Case {
    const char* url;
    bool allowed;
  };
  const Case cases[] = {
      {"https://chat.example/hooks/42", true},
      {"https://CHAT.example:443/hooks/42/abc?wait=1", true},
      {"https://chat.example/hooks/42?x", true},
      {"https://chat.example/hooks/421", false},
      {"https://chat.example/hooks/42/../43", false},
      {"https://chat.example/hooks/42/%2E%2E/43", false},
      {"http://chat.example/hooks/42", false},
      {"https://chat.example:8443/hooks/42", false},
      {"https://chat.example.evil/hooks/42", false},
      {"http://127.0.0.1:8080/anything", true},
      {"http://127.0.0.1:8081/anything", false},
      {"http://127.0.0.1/anything", false},
  };
  for (const Case& c : cases) {
    std::string error;
    std::optional<Url> url = parseUrl(c.url, &error);
    ASSERT_TRUE(url) << c.url;
    EXPECT_EQ(list.allows(*url), c.allowed) << c.url;
  }
  EXPECT_FALSE(UrlAllowList().allows(*parseUrl("http://h/", nullptr)));
}

// Segments and escapes that a server behind the prefix may read as a step
// up or as another separator are refused, whatever their spelling.
TEST(UrlAllowListTest, RefusesPathsServersReadAnotherWay) {
  UrlAllowList list;
  ASSERT_EQ(list.add("https://h/hooks/42"), "");
  ASSERT_EQ(list.add("https://h/open/"), "");
  for (const char* allowsNothing : {"https://h/x/..;/", "https://h/%2e%2e;/", "https://h/a%5Cb"}) {
    EXPECT_EQ(list.add(allowsNothing), "a path with %2F, %5C or a segment starting with ..");
  }
  struct Case {
    const char* url;
    bool allowed;
  };
  const Case cases[] = {
      {"https://h/hooks/42/..;/43", false},
      {"https://h/hooks/42/..;x=1/admin", false},
      {"https://h/hooks/42/%2e%2e;/43", false},
      {"https://h/hooks/42/.%2E;/43", false},
      {"https://h/hooks/42/%2E./43;", false},
      {"https://h/hooks/42/..%00/x", false},
      {"https://h/hooks/42/...", false},
      {"https://h/hooks/42/..a", false},
      {"https://h/hooks/42/%2F../43", false},
      {"https://h/hooks/42/%2f..%2f43", false},
      {"https://h/hooks/42/a%2Fb", false},
      {"https://h/hooks/42/..%5C43", false},
      {"https://h/hooks/42/a%5cb", false},
      {"https://h/hooks/42\\..\\43", false},
      {"https://h/open/x/..;/y", false},
      {"https://h/open/%2F", false},
      // Dots elsewhere, and escapes in the query, are no step up.
      {"https://h/hooks/42/a..b", true},
      {"https://h/hooks/42/.hidden", true},
      {"https://h/hooks/42/v1.2..3", true},
      {"https://h/hooks/42?next=..;/x&p=%2F", true},
      {"https://h/hooks/42/./abc", true},
      {"https://h/open/x/../y", true},
  };
  for (const Case& c : cases) {
    std::string error;
    std::optional<Url> url = parseUrl(c.url, &error);
    ASSERT_TRUE(url) << c.url << ": " << error;
    EXPECT_EQ(list.allows(*url), c.allowed) << c.url << " as " << url->text();
  }
}

}  // namespace
}  // namespace gsadmin
