#include "panel/panel_reads.h"

namespace gsadmin {

std::unique_ptr<PanelReads> makePanelReads(Clock& clock, const Database& database) {
  std::vector<std::unique_ptr<Database>> connections;
  for (size_t i = 0; i < PanelReads::kReaders; ++i) {
    std::unique_ptr<Database> connection =
        database.readOnlyConnection(static_cast<uint64_t>(PanelReads::kBudget.count()));
    if (!connection) return nullptr;
    connections.push_back(std::move(connection));
  }
  return std::make_unique<PanelReads>(clock, std::move(connections));
}

}  // namespace gsadmin
