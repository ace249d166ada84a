#include "app/terminal_qr.h"

#include <qrencode.h>

#include <memory>

namespace gsadmin {
namespace {

constexpr size_t kQuietModules = 2;

struct QrFree {
  void operator()(QRcode* code) const { QRcode_free(code); }
};

}  // namespace

std::optional<QrModules> qrModules(std::string_view text) {
  std::string copy(text);
  std::unique_ptr<QRcode, QrFree> code(
      QRcode_encodeString(copy.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1));
  if (!code) return std::nullopt;
  size_t width = static_cast<size_t>(code->width);
  size_t side = width + 2 * kQuietModules;
  QrModules modules(side, std::vector<bool>(side, false));
  for (size_t y = 0; y < width; ++y) {
    for (size_t x = 0; x < width; ++x) {
      // The lowest bit of each byte is the module's colour.
      modules[y + kQuietModules][x + kQuietModules] = (code->data[y * width + x] & 1) != 0;
    }
  }
  return modules;
}

std::string drawQr(const QrModules& modules) {
  std::string drawn;
  for (size_t y = 0; y < modules.size(); y += 2) {
    for (size_t x = 0; x < modules[y].size(); ++x) {
      bool topLight = !modules[y][x];
      bool bottomLight = y + 1 < modules.size() ? !modules[y + 1][x] : false;
      if (topLight && bottomLight) {
        drawn += "\u2588";
      } else if (topLight) {
        drawn += "\u2580";
      } else if (bottomLight) {
        drawn += "\u2584";
      } else {
        drawn += " ";
      }
    }
    drawn += "\n";
  }
  return drawn;
}

}  // namespace gsadmin
