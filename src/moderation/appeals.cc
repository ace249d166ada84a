// Filing, reading and deciding the banned players' appeals.

#include "moderation/appeals.h"

#include <openssl/evp.h>

#include <algorithm>

#include "base/hex_text.h"
#include "moderation/sanction_rows.h"

namespace gsadmin {
namespace {

#define APPEAL_COLUMNS "id, time, sanction, name, text, state, reply, actor, decided, server"
constexpr size_t kAppealColumns = 10;

std::vector<AppealRecord> appealRows(const StatementResult& result) {
  std::vector<AppealRecord> rows;
  if (result.error || result.columns.size() != kAppealColumns) return rows;
  for (size_t row = 0; row < result.rowCount(); ++row) {
    const DbValue* v = &result.values[row * kAppealColumns];
    rows.push_back(AppealRecord{integerAt(v[0]), integerAt(v[1]), integerAt(v[2]), v[3].bytes,
                                v[4].bytes, v[5].bytes, v[6].bytes, v[7].bytes, optionalAt(v[8]),
                                v[9].bytes});
  }
  return rows;
}

}  // namespace

int64_t Appeals::file(int64_t sanction, std::string_view name, std::string_view appeal,
                      const std::string& tokenHash, int64_t now) {
  store_.queue(
      "INSERT INTO gs_appeals (time, sanction, name, text, token, server) VALUES (?, ?, ?, ?, ?, "
      "?)",
      {DbValue::integer(now), DbValue::integer(sanction),
       DbValue::text(boundedText(name, kMaxNameBytes)), DbValue::text(std::string(appeal)),
       DbValue::text(tokenHash), DbValue::text(store_.serverName())});
  uint64_t ticket = store_.lastTicket();
  // The query writes what is queued first: the row is there unless the
  // database is away.
  StatementResult result =
      store_.query("SELECT id FROM gs_appeals WHERE token = ?", {DbValue::text(tokenHash)});
  if (result.error || result.rowCount() != 1 || store_.waiting(ticket)) return 0;
  return integerAt(result.values[0]);
}

std::optional<AppealRecord> Appeals::find(int64_t id) {
  std::vector<AppealRecord> rows = appealRows(store_.query(
      "SELECT " APPEAL_COLUMNS " FROM gs_appeals WHERE id = ?", {DbValue::integer(id)}));
  if (rows.empty()) return std::nullopt;
  return rows.front();
}

bool Appeals::openOn(int64_t sanction) {
  StatementResult result =
      store_.query("SELECT count(*) FROM gs_appeals WHERE sanction = ? AND state = 'open'",
                   {DbValue::integer(sanction)});
  return !result.error && result.rowCount() == 1 && integerAt(result.values[0]) > 0;
}

std::optional<std::vector<AppealRecord>> Appeals::unanswered(size_t count) {
  StatementResult result = store_.query(
      "SELECT " APPEAL_COLUMNS " FROM gs_appeals WHERE state = 'open' ORDER BY id LIMIT ?",
      {DbValue::integer(static_cast<int64_t>(std::min<size_t>(count, INT32_MAX)))});
  if (result.error) return std::nullopt;
  return appealRows(result);
}

void Appeals::decide(int64_t id, std::string_view state, std::string_view reply,
                     std::string_view actor, int64_t now) {
  store_.queue(
      "UPDATE gs_appeals SET state = ?, reply = ?, actor = ?, decided = ? WHERE id = ?",
      {DbValue::text(std::string(state)), DbValue::text(boundedText(reply, kMaxReplyBytes)),
       DbValue::text(boundedText(actor, kMaxNameBytes)), DbValue::integer(now),
       DbValue::integer(id)});
}

size_t characterCount(std::string_view text) {
  // Every byte but a continuation byte (10xxxxxx) starts a character.
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string appealTokenHash(std::string_view token) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(token.data(), token.size(), digest, &size, EVP_sha256(), nullptr) != 1) return "";
  return lowerHex(digest, size);
}

std::optional<AppealStatus> readAppealStatus(Database& database, const std::string& tokenHash,
                                             bool* failed) {
  StatementResult result =
      database.run("SELECT sanction, state, reply, decided FROM gs_appeals WHERE token = ?",
                   {DbValue::text(tokenHash)});
  *failed = result.error.has_value();
  if (result.error || result.rowCount() != 1 || result.columns.size() != 4) return std::nullopt;
  const DbValue* v = result.values.data();
  return AppealStatus{integerAt(v[0]), v[1].bytes, v[2].bytes, optionalAt(v[3])};
}

}  // namespace gsadmin
