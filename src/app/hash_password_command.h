#ifndef GSADMIN_APP_HASH_PASSWORD_COMMAND_H_
#define GSADMIN_APP_HASH_PASSWORD_COMMAND_H_

#include <cstdio>

namespace gsadmin {

// gsadmin --hash-password: reads one password from `fd` (on a terminal:
// prompted on `err`, without echo, and asked twice), then prints its
// Argon2id hash and a line break on `out`, for the --http-users file.
// The exit status: 0, or 1 with one line on `err` when no password came,
// the two differed or hashing failed.
int runHashPassword(int fd, std::FILE* out, std::FILE* err);

}  // namespace gsadmin

#endif  // GSADMIN_APP_HASH_PASSWORD_COMMAND_H_
