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
  size_t styles = 0, scripts = 0;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), reference);
       it != std::sregex_iterator(); ++it) {
    std::string path = (*it)[2];
    ASSERT_TRUE(path.starts_with("/")) << path;
    EXPECT_TRUE(names.count(path.substr(1))) << path;
    if (path.ends_with(".css")) ++styles;
    if (path.ends_with(".js")) ++scripts;
  }
  EXPECT_EQ(styles, 2u) << "uPlot's and the page's";
  // uPlot and the page's own, each file with one job: none left unloaded.
  for (const PanelAsset& asset : panelAssets()) {
    if (asset.name.ends_with(".js") && !asset.name.starts_with(kPublicAssetPrefix)) {
      EXPECT_NE(page.find("src=\"/" + std::string(asset.name) + "\""), std::string::npos)
          << asset.name << " is embedded but not loaded";
    }
  }
  EXPECT_GE(scripts, 2u);
}

// The public listener's page loads its script and style by the paths that
// listener serves them at, and holds no script or style of its own: the
// content-security policy allows none.
TEST(PanelAssetsTest, ThePublicPageLoadsOnlyItsOwnFiles) {
  std::string page;
  for (const PanelAsset& asset : panelAssets()) {
    if (asset.name == "public-index.html") page = asset.content;
  }
  ASSERT_FALSE(page.empty());
  std::regex reference(R"re((src|href)="([^"#]*)")re");
  std::set<std::string> paths;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), reference);
       it != std::sregex_iterator(); ++it) {
    paths.insert((*it)[2]);
  }
  EXPECT_EQ(paths, (std::set<std::string>{"/public.js", "/public.css"}));
  EXPECT_FALSE(std::regex_search(page, std::regex("<script>|<style|\\son[a-z]+=|style=")))
      << "inline script or style";
}

}  // namespace
}  // namespace gsadmin
