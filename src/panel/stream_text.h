#ifndef GSADMIN_PANEL_STREAM_TEXT_H_
#define GSADMIN_PANEL_STREAM_TEXT_H_

#include <string>
#include <string_view>

#include "panel/console_ring.h"
#include "panel/snapshot.h"

namespace gsadmin {

// The texts of the panel's event stream (Server-Sent Events), as the page
// reads them, and the HTTP chunks that carry them.

// "event: console", its line's number as the id, the line as JSON.
std::string consoleEventText(const ConsoleEntry& entry);
// "event: server", the server of `snapshot` as JSON (serverEventJson).
std::string serverEventText(const Snapshot& snapshot);
// "event: players", the players of `snapshot` as JSON.
std::string playersEventText(const Snapshot& snapshot);
// A comment that keeps proxies and browsers from closing a quiet stream.
inline constexpr std::string_view kKeepAliveText = ": keep-alive\n\n";

// `text` as one chunk of a chunked answer; `text` must not be empty.
std::string chunkOf(std::string_view text);
// The last chunk, which ends the answer.
inline constexpr std::string_view kEndChunk = "0\r\n\r\n";

}  // namespace gsadmin

#endif  // GSADMIN_PANEL_STREAM_TEXT_H_
