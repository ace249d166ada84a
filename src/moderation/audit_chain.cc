#include "moderation/audit_chain.h"

#include <openssl/evp.h>

#include "base/hex_text.h"

namespace gsadmin {
namespace {

// Each piece with its type and length first, so that no two rows (or a
// row and its link) ever hash the same bytes.
void appendPiece(std::string& bytes, char type, std::string_view piece) {
  bytes += type;
  bytes += std::to_string(piece.size());
  bytes += ':';
  bytes += piece;
}

StatementResult failure(std::string why) {
  StatementResult result;
  result.error = std::move(why);
  return result;
}

}  // namespace

std::string auditLink(std::string_view prev, std::span<const DbValue> content) {
  std::string bytes;
  appendPiece(bytes, 'p', prev);
  for (const DbValue& value : content) {
    switch (value.type) {
      case DbValue::Type::kInteger:
        appendPiece(bytes, 'i', std::to_string(value.integerValue));
        break;
      case DbValue::Type::kReal:
        appendPiece(bytes, 'r', std::to_string(value.realValue));
        break;
      case DbValue::Type::kNull:
        appendPiece(bytes, 'n', "");
        break;
      default:
        appendPiece(bytes, 't', value.bytes);
        break;
    }
  }
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1) return "";
  return lowerHex(digest, size);
}

StatementResult AuditChainer::insert(const std::vector<DbValue>& content) {
  if (content.size() != kAuditContentValues) {
    return failure("an audit row of " + std::to_string(content.size()) + " values");
  }
  if (!last_) {
    // Held to the commit: another client's rows wait, and link after these.
    if (database_.dialect() == SqlDialect::kPostgres) {
      StatementResult locked = database_.run("LOCK TABLE gs_audit IN SHARE ROW EXCLUSIVE MODE", {});
      if (locked.error) return locked;
    }
    StatementResult found =
        database_.run("SELECT chain FROM gs_audit ORDER BY id DESC LIMIT 1", {});
    if (found.error) return found;
    bool linked = found.rowCount() == 1 && found.values[0].type != DbValue::Type::kNull;
    last_ = linked ? found.values[0].bytes : "";
  }
  std::string link = auditLink(*last_, content);
  if (link.empty()) return failure("cannot hash an audit row");
  std::vector<DbValue> row = content;
  row.push_back(DbValue::text(*last_));
  row.push_back(DbValue::text(link));
  StatementResult result = database_.run(kInsertAudit, row);
  if (!result.error) last_ = std::move(link);
  return result;
}

StatementResult AuditChainer::insertOfSanction(const std::vector<DbValue>& bindings) {
  if (bindings.size() != kAuditContentValues + kSanctionLookupValues) {
    return failure("an audit row of " + std::to_string(bindings.size()) + " values");
  }
  std::vector<DbValue> content(bindings.begin(), bindings.begin() + kAuditContentValues);
  StatementResult found = database_.run(
      "SELECT max(id) FROM gs_sanctions WHERE name_key = ? AND kind = ? AND time = ? AND server = "
      "?",
      {bindings.begin() + kAuditContentValues, bindings.end()});
  if (found.error) return found;
  if (found.rowCount() == 1) content.back() = found.values[0];
  return insert(content);
}

std::string AuditFinding::line() const {
  std::string row = "audit row " + std::to_string(id);
  switch (kind) {
    case Kind::kHolds:
      return "";
    case Kind::kChanged:
      return row + " was changed";
    case Kind::kInserted:
      return row + " was inserted";
    case Kind::kRemoved:
      return after == 0 ? "audit rows before row " + std::to_string(id) + " were removed"
                        : "audit rows between row " + std::to_string(after) + " and row " +
                              std::to_string(id) + " were removed";
  }
  return "";
}

bool AuditChainCheck::fail(AuditFinding::Kind kind, int64_t id, int64_t after) {
  finding_ = AuditFinding{kind, id, after};
  return false;
}

bool AuditChainCheck::add(int64_t id, const std::optional<std::string>& prev,
                          const std::optional<std::string>& chain,
                          std::span<const DbValue> content) {
  if (finding_.kind != AuditFinding::Kind::kHolds) return false;
  if (!chain) {
    // Before the chain began: rows of a version that kept no links.
    if (chained_ > 0) return fail(AuditFinding::Kind::kInserted, id);
    ++unchained_;
    lastId_ = id;
    return true;
  }
  std::string_view before = prev ? std::string_view(*prev) : std::string_view();
  if (auditLink(before, content) != *chain) return fail(AuditFinding::Kind::kChanged, id);
  if (before != lastChain_) {
    // Linked to the row before the last: the last one was put in between.
    if (chainBeforeLast_ && before == *chainBeforeLast_) {
      return fail(AuditFinding::Kind::kInserted, lastId_);
    }
    return fail(AuditFinding::Kind::kRemoved, id, chained_ + unchained_ > 0 ? lastId_ : 0);
  }
  ++chained_;
  chainBeforeLast_ = lastChain_;
  lastChain_ = *chain;
  lastId_ = id;
  return true;
}

}  // namespace gsadmin
