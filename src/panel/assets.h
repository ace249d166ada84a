#ifndef GSADMIN_PANEL_ASSETS_H_
#define GSADMIN_PANEL_ASSETS_H_

#include <span>
#include <string_view>

namespace gsadmin {

// One file of the panel's page, embedded in the binary at build time from
// src/panel/assets/ and third_party/ (see cmake/embed_assets.cmake).
struct PanelAsset {
  std::string_view name;  // the file's name: "index.html", "app.js", ...
  std::string_view type;  // its Content-Type
  std::string_view content;
};

// The files of the public listener's page start with this; the panel
// serves none of them.
inline constexpr std::string_view kPublicAssetPrefix = "public-";

// Every embedded file, each name once. The views point into the binary.
std::span<const PanelAsset> panelAssets();

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_ASSETS_H_
