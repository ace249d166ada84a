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

// The characters of trim's character set, in order, as SQLite splits them:
// a byte from 0xC0 up with the continuation bytes (0x80 to 0xBF) after it.
struct TrimSet {
  std::vector<std::pair<const unsigned char*, size_t>> characters;
  bool oneByte[256] = {};  // the characters of one byte
};

// False when the set holds more than kTrimCharacters characters.
bool readTrimSet(const unsigned char* text, TrimSet* set) {
  while (*text != 0) {
    if (set->characters.size() == SqlLimits::kTrimCharacters) return false;
    size_t length = 1;
    if (text[0] >= 0xC0) {
      while ((text[length] & 0xC0) == 0x80) ++length;
    }
    if (length == 1) set->oneByte[text[0]] = true;
    set->characters.emplace_back(text, length);
    text += length;
  }
  return true;
}

// The length of the set's first character (in the set's order) that
// `text` starts with, or 0. Only one-byte characters start below 0xC0.
size_t matchAtStart(const TrimSet& set, const unsigned char* text, size_t length) {
  if (text[0] < 0xC0) return set.oneByte[text[0]] ? 1 : 0;
  for (const auto& [character, size] : set.characters) {
    if (size <= length && std::memcmp(text, character, size) == 0) return size;
  }
  return 0;
}

// The same at the end of `text`. Only one-byte characters end outside 0x80
// to 0xBF.
size_t matchAtEnd(const TrimSet& set, const unsigned char* text, size_t length) {
  unsigned char last = text[length - 1];
  if (last < 0x80 || last >= 0xC0) return set.oneByte[last] ? 1 : 0;
  for (const auto& [character, size] : set.characters) {
    if (size <= length && std::memcmp(text + length - size, character, size) == 0) return size;
  }
  return 0;
}

// trim, ltrim and rtrim with a character set, with SQLite's own results
// (the first matching character of the set is taken off, again and again),
// refusing a set of more than kTrimCharacters characters: SQLite's own take
// time in the set's length times the text's. User data: 1 trims the start,
// 2 the end, 3 both.
void boundedTrim(sqlite3_context* context, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  const unsigned char* text = sqlite3_value_text(argv[0]);
  if (text == nullptr) return;
  size_t length = static_cast<size_t>(sqlite3_value_bytes(argv[0]));
  const unsigned char* setText = sqlite3_value_text(argv[1]);
  if (setText == nullptr) return;
  TrimSet set;
  if (!readTrimSet(setText, &set)) {
    sqlite3_result_error(context, "character set of trim too long", -1);
    return;
  }
  auto ends = reinterpret_cast<std::intptr_t>(sqlite3_user_data(context));
  size_t size = 0;
  while ((ends & 1) != 0 && length > 0 && (size = matchAtStart(set, text, length)) != 0) {
    text += size;
    length -= size;
  }
  while ((ends & 2) != 0 && length > 0 && (size = matchAtEnd(set, text, length)) != 0) {
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
