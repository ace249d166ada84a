#include "panel/assets.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

namespace gsadmin {
namespace {

TEST(PanelAssetsTest, TheFilesAreSmallTypedAndAllThePageNeeds) {
  size_t total = 0;
  std::set<std::string> names;
  std::string page;
  for (const PanelAsset& asset : panelAssets()) {
    total += asset.content.size();
    EXPECT_TRUE(names.insert(std::string(asset.name)).second) << asset.name;
    EXPECT_FALSE(asset.content.empty()) << asset.name;
    EXPECT_FALSE(asset.type.empty()) << asset.name;
    if (asset.name == "index.html") page = asset.content;
  }
  EXPECT_LT(total, 250u * 1024) << "the page's files together";
  ASSERT_FALSE(page.empty()) << "no index.html";
  // Every file the page loads is embedded; nothing comes from elsewhere.
  std::regex reference(R"re((src|href)="([^"#]*)")re");
  size_t loaded = 0;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), reference);
       it != std::sregex_iterator(); ++it) {
    std::string path = (*it)[2];
    ASSERT_TRUE(path.starts_with("/")) << path;
    EXPECT_TRUE(names.count(path.substr(1))) << path;
    ++loaded;
  }
  EXPECT_EQ(loaded, 5u) << "two style sheets and three scripts";
}

}  // namespace
}  // namespace gsadmin
