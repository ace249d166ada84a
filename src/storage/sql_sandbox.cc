#include "storage/sql_sandbox.h"

#include <sqlite3.h>
#include <strings.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

namespace gsadmin {
namespace {

bool isOneOf(const char* name, std::initializer_list<const char*> names) {
  if (name == nullptr) return false;
  for (const char* candidate : names) {
    if (strcasecmp(name, candidate) == 0) return true;
  }
  return false;
}

// Asked while a statement is prepared, for each thing it would do. Refused
// things make the prepare fail with "not authorized" (for a function:
// "not authorized to use function: NAME").
int authorize(void*, int action, const char* first, const char* second, const char*, const char*) {
  switch (action) {
    case SQLITE_FUNCTION:  // second: the function's name
      // fts3_tokenizer() hands out and takes code addresses.
      return isOneOf(second, {"fts3_tokenizer", "load_extension"}) ? SQLITE_DENY : SQLITE_OK;
    case SQLITE_PRAGMA:  // first: the pragma's name
      return isOneOf(first, {"temp_store_directory", "data_store_directory"}) ? SQLITE_DENY
                                                                              : SQLITE_OK;
    case SQLITE_ATTACH:  // first: the file name when the SQL spells it out
      // "" is a private temporary database, which VACUUM attaches.
      return first != nullptr && *first == '\0' ? SQLITE_OK : SQLITE_DENY;
    default:
      return SQLITE_OK;
  }
}

// The byte length of the UTF-8 character at `text`, as SQLite steps over it.
size_t characterLength(const unsigned char* text) {
  size_t length = 1;
  if (text[0] >= 0xC0) {
    while ((text[length] & 0xC0) == 0x80) ++length;
  }
  return length;
}

// trim, ltrim and rtrim with a character set, as SQLite's own (the same
// loop, so the same result), refusing a set of more than kTrimCharacters
// characters. User data: 1 trims the start, 2 the end, 3 both.
void boundedTrim(sqlite3_context* context, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  const unsigned char* text = sqlite3_value_text(argv[0]);
  if (text == nullptr) return;
  size_t length = static_cast<size_t>(sqlite3_value_bytes(argv[0]));
  const unsigned char* set = sqlite3_value_text(argv[1]);
  if (set == nullptr) return;
  std::vector<std::pair<const unsigned char*, size_t>> characters;
  for (const unsigned char* at = set; *at != 0; at += characters.back().second) {
    if (characters.size() == SqlLimits::kTrimCharacters) {
      sqlite3_result_error(context, "character set of trim too long", -1);
      return;
    }
    characters.emplace_back(at, characterLength(at));
  }
  auto matchesAt = [&characters](const unsigned char* at, size_t room) -> size_t {
    for (const auto& [character, size] : characters) {
      if (size <= room && std::memcmp(at, character, size) == 0) return size;
    }
    return 0;
  };
  auto ends = reinterpret_cast<std::intptr_t>(sqlite3_user_data(context));
  while ((ends & 1) != 0 && length > 0) {
    size_t size = matchesAt(text, length);
    if (size == 0) break;
    text += size;
    length -= size;
  }
  while ((ends & 2) != 0 && length > 0) {
    size_t size = 0;
    for (const auto& [character, characterSize] : characters) {
      if (characterSize <= length &&
          std::memcmp(text + length - characterSize, character, characterSize) == 0) {
        size = characterSize;
        break;
      }
    }
    if (size == 0) break;
    length -= size;
  }
  sqlite3_result_text64(context, reinterpret_cast<const char*>(text), length, SQLITE_TRANSIENT,
                        SQLITE_UTF8);
}

}  // namespace

bool sandboxConnection(sqlite3* connection) {
  bool ok =
      sqlite3_db_config(connection, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) == SQLITE_OK &&
      sqlite3_db_config(connection, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr) ==
          SQLITE_OK &&
      sqlite3_db_config(connection, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr) == SQLITE_OK;
  // One attached database at most: VACUUM's own; the authorizer refuses files.
  sqlite3_limit(connection, SQLITE_LIMIT_ATTACHED, 1);
  sqlite3_limit(connection, SQLITE_LIMIT_LENGTH, SqlLimits::kValueBytes);
  sqlite3_limit(connection, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, SqlLimits::kPatternBytes);
  sqlite3_limit(connection, SQLITE_LIMIT_SQL_LENGTH, SqlLimits::kSqlBytes);
  constexpr int kTrimFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  const std::pair<const char*, std::intptr_t> trims[] = {{"ltrim", 1}, {"rtrim", 2}, {"trim", 3}};
  for (const auto& [name, ends] : trims) {
    ok = ok &&
         sqlite3_create_function_v2(connection, name, 2, kTrimFlags, reinterpret_cast<void*>(ends),
                                    boundedTrim, nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  return ok && sqlite3_set_authorizer(connection, authorize, nullptr) == SQLITE_OK;
}

}  // namespace gsadmin
