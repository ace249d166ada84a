#ifndef GSADMIN_MODERATION_AUDIT_CHAIN_H_
#define GSADMIN_MODERATION_AUDIT_CHAIN_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/database.h"

namespace gsadmin {

// The audit is a chain: each row of gs_audit carries the link of the row
// before it (`prev`, empty for the first) and its own (`chain`), the
// SHA-256 in hex of that link and the row's content. A row changed,
// removed or put in afterwards by hand breaks the chain where it was, and
// AuditChainCheck finds it. The client only ever appends to gs_audit.

// The audit's insert. It is queued with the row's content alone (time,
// actor, action, target, detail, server, sanction: kAuditContentValues
// values); the store adds the two links as it writes it (AuditChainer).
inline constexpr char kInsertAudit[] =
    "INSERT INTO gs_audit (time, actor, action, target, detail, server, sanction, prev, chain)"
    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)";
inline constexpr size_t kAuditContentValues = 7;
// The same for a line about a sanction whose number is not known yet (its
// row waits in the same queue, ahead): queued with the content (sanction
// NULL) and then the sanction's name key, kind, time and server, by which
// the chainer finds the number as it writes the line. Only AuditChainer
// runs it, as kInsertAudit.
inline constexpr char kInsertAuditOfSanction[] =
    "INSERT INTO gs_audit (time, actor, action, target, detail, server, sanction, prev, chain)"
    " VALUES (?, ?, ?, ?, ?, ?, (SELECT max(id) FROM gs_sanctions WHERE name_key = ? AND"
    " kind = ? AND time = ? AND server = ?), ?, ?)";
inline constexpr size_t kSanctionLookupValues = 4;

// The link of a row of `content` (as queued) that follows `prev`.
std::string auditLink(std::string_view prev, std::span<const DbValue> content);

// Appends the audit's rows within one write transaction, each linked to
// the last row there: on a shared database the table is locked first, so
// that two clients never link to the same row. One chainer a transaction;
// the database must outlive it.
class AuditChainer {
 public:
  explicit AuditChainer(Database& database) : database_(database) {}
  // Runs kInsertAudit for `content` with its links.
  StatementResult insert(const std::vector<DbValue>& content);
  // The same for the bindings of kInsertAuditOfSanction.
  StatementResult insertOfSanction(const std::vector<DbValue>& bindings);

 private:
  Database& database_;
  std::optional<std::string> last_;  // the chain of the last row, once read
};

// What walking the chain found.
struct AuditFinding {
  enum class Kind { kHolds, kChanged, kInserted, kRemoved };
  Kind kind = Kind::kHolds;
  int64_t id = 0;     // the row changed or inserted; kRemoved: the row after the gap
  int64_t after = 0;  // kRemoved: the row before the gap (0: the start)
  // "audit row 12 was changed", ...; empty while the chain holds.
  std::string line() const;
};

// Checks the rows of gs_audit given in the order of their ids. Rows from
// before the chain began (no link: written by a version that kept none)
// are counted, not judged; once it began, every row must link to the one
// before. The last rows removed leave no trace a chain can show.
class AuditChainCheck {
 public:
  // False once the chain is broken: finding() says where.
  bool add(int64_t id, const std::optional<std::string>& prev,
           const std::optional<std::string>& chain, std::span<const DbValue> content);
  const AuditFinding& finding() const { return finding_; }
  uint64_t chained() const { return chained_; }
  uint64_t unchained() const { return unchained_; }

 private:
  bool fail(AuditFinding::Kind kind, int64_t id, int64_t after = 0);

  AuditFinding finding_;
  uint64_t chained_ = 0;
  uint64_t unchained_ = 0;
  int64_t lastId_ = 0;
  std::string lastChain_;
  std::optional<std::string> chainBeforeLast_;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_AUDIT_CHAIN_H_
