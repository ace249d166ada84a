#include "endpoint.h"

#include <cstdio>

namespace gsadmin::sim {

std::string Endpoint::toString() const {
  char text[32];
  std::snprintf(text, sizeof(text), "%u.%u.%u.%u:%u", (address >> 24) & 0xFFu,
                (address >> 16) & 0xFFu, (address >> 8) & 0xFFu, address & 0xFFu,
                static_cast<unsigned>(port));
  return text;
}

}  // namespace gsadmin::sim
