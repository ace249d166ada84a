#ifndef GSADMIN_STORAGE_PG_VALUES_H_
#define GSADMIN_STORAGE_PG_VALUES_H_

#include <libpq-fe.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/database.h"

namespace gsadmin {

// A statement's values as PQsendQueryParams takes them. Integers go as
// int8, reals as float8 (17 significant digits, so they read back the
// same), texts with no type of their own (the server infers it from where
// they are used), blobs as bytea in binary form, nulls as NULL. A text the
// server cannot take as text (it holds a NUL byte or is not UTF-8) goes as
// bytea too. The pointers are into the bindings and into `texts`: both
// must outlive the statement's sending.
struct PgParameters {
  std::vector<Oid> types;
  std::vector<std::string> texts;
  std::vector<const char*> values;
  std::vector<int> lengths;
  std::vector<int> formats;
};

// Fills `parameters` from `bindings`; the reason when a value is longer
// than SqlLimits::kValueBytes.
std::optional<std::string> makeParameters(const std::vector<DbValue>& bindings,
                                          PgParameters* parameters);

// The value in `row`, `column` of `result`: integer for int2, int4, int8
// and oid; integer 1 or 0 for bool; real for float4, float8 and numeric;
// blob for bytea; nil for NULL; text for anything else. False when memory
// ran out.
bool readCell(const PGresult* result, int row, int column, DbValue* value);

// A server's message as one line: control bytes (a quoted name's line
// breaks too) shown as '?', trailing line breaks left out; `fallback` when
// there is none.
std::string oneLine(const char* message, const char* fallback);
// The first line of a libpq message, which may add lines of hints.
std::string firstLine(const char* message, const char* fallback);

// True when `text` is well-formed UTF-8.
bool isUtf8(std::string_view text);

}  // namespace gsadmin

#endif  // GSADMIN_STORAGE_PG_VALUES_H_
