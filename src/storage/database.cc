#include "storage/database.h"

#include "storage/postgres_database.h"
#include "storage/sqlite_database.h"

namespace gsadmin {

DbValue DbValue::integer(int64_t value) {
  DbValue v;
  v.type = Type::kInteger;
  v.integerValue = value;
  return v;
}

DbValue DbValue::real(double value) {
  DbValue v;
  v.type = Type::kReal;
  v.realValue = value;
  return v;
}

DbValue DbValue::text(std::string value) {
  DbValue v;
  v.type = Type::kText;
  v.bytes = std::move(value);
  return v;
}

DbValue DbValue::blob(std::string value) {
  DbValue v;
  v.type = Type::kBlob;
  v.bytes = std::move(value);
  return v;
}

std::string databasePathForScript(const std::string& scriptPath) {
  return besideDatabase(scriptPath, "script.db");
}

std::string besideDatabase(const std::string& path, const char* fileName) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return fileName;
  return path.substr(0, slash + 1) + fileName;
}

bool isDatabaseUri(std::string_view location) {
  return location.starts_with("postgresql://") || location.starts_with("postgres://");
}

std::unique_ptr<Database> makeDatabase(const std::string& location,
                                       std::optional<std::string> password, size_t maxResultBytes) {
  if (isDatabaseUri(location)) {
    return std::make_unique<PostgresDatabase>(location, std::move(password), maxResultBytes);
  }
  return std::make_unique<SqliteDatabase>(location, maxResultBytes);
}

}  // namespace gsadmin
