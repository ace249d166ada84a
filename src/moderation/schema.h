#ifndef GSADMIN_MODERATION_SCHEMA_H_
#define GSADMIN_MODERATION_SCHEMA_H_

#include <span>

namespace gsadmin {

// The version of the moderation tables this client writes; kept in
// gs_schema.
inline constexpr int kModerationSchemaVersion = 1;

// The statements that create the moderation tables and their indexes when
// they are missing, in order; the first creates gs_schema, which is read
// before the others run. The tables are documented for scripts to
// read (docs/moderation.md); their names start with "gs_" so that they
// never meet a script's own.
std::span<const char* const> moderationSchema();

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_SCHEMA_H_
