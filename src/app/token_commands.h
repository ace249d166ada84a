#ifndef GSADMIN_APP_TOKEN_COMMANDS_H_
#define GSADMIN_APP_TOKEN_COMMANDS_H_

#include <cstdint>
#include <cstdio>
#include <optional>

#include "app/options.h"

namespace gsadmin {

// The panel's API tokens from the command line, in the tokens file of
// --http-users (or --http-tokens):
// --new-token=ACCOUNT [--scope=read|act|admin] [--expires=DURATION|never]
// [--token-name=LABEL] makes a token, prints it once on `out` and keeps
// only its hash; --list-tokens lists them; --revoke-token=LABEL takes one
// out. `now` is seconds since the epoch. Status 0, 1 when the token asked
// for is not there (or the label is taken), 2 after one line on `err` for
// anything else; nothing without these options.
std::optional<int> runTokenCommands(const Options& options, int64_t now, std::FILE* out,
                                    std::FILE* err);

}  // namespace gsadmin

#endif  // GSADMIN_APP_TOKEN_COMMANDS_H_
