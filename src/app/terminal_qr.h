#ifndef GSADMIN_APP_TERMINAL_QR_H_
#define GSADMIN_APP_TERMINAL_QR_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gsadmin {

// Rows of modules, true where dark.
using QrModules = std::vector<std::vector<bool>>;

// The QR code of `text` (error correction M), with a quiet zone of two
// modules; nothing when the library cannot encode it.
std::optional<QrModules> qrModules(std::string_view text);

// `modules` drawn for a terminal with UTF-8 half blocks, two rows a line.
// Light modules are the drawn ones, so that on the usual dark background
// the code shows dark on light as phones scan it. Each line ends in "\n".
std::string drawQr(const QrModules& modules);

}  // namespace gsadmin

#endif  // GSADMIN_APP_TERMINAL_QR_H_
