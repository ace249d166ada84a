#include "moderation/record_journal.h"

#include <cstring>
#include <utility>

namespace gsadmin {
namespace {

constexpr char kCreateEntries[] =
    "CREATE TABLE IF NOT EXISTS gs_journal ("
    "seq INTEGER PRIMARY KEY AUTOINCREMENT, sql TEXT NOT NULL, bindings BLOB NOT NULL)";
constexpr char kCreateInFlight[] =
    "CREATE TABLE IF NOT EXISTS gs_journal_batch ("
    "client TEXT NOT NULL, batch INTEGER NOT NULL, last_seq INTEGER NOT NULL)";

void putUnsigned(std::string* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// Reads `bytes` little-endian bytes at *at; false past the end.
bool takeUnsigned(std::string_view in, size_t* at, int bytes, uint64_t* value) {
  if (in.size() - *at < static_cast<size_t>(bytes)) return false;
  *value = 0;
  for (int i = 0; i < bytes; ++i) {
    *value |= static_cast<uint64_t>(static_cast<unsigned char>(in[*at + i])) << (8 * i);
  }
  *at += static_cast<size_t>(bytes);
  return true;
}

bool takeValue(std::string_view in, size_t* at, DbValue* value) {
  uint64_t type = 0, number = 0;
  if (!takeUnsigned(in, at, 1, &type) || type > static_cast<uint64_t>(DbValue::Type::kBlob)) {
    return false;
  }
  value->type = static_cast<DbValue::Type>(type);
  switch (value->type) {
    case DbValue::Type::kNull:
      return true;
    case DbValue::Type::kInteger:
      if (!takeUnsigned(in, at, 8, &number)) return false;
      value->integerValue = static_cast<int64_t>(number);
      return true;
    case DbValue::Type::kReal:
      if (!takeUnsigned(in, at, 8, &number)) return false;
      std::memcpy(&value->realValue, &number, sizeof number);
      return true;
    case DbValue::Type::kText:
    case DbValue::Type::kBlob:
      if (!takeUnsigned(in, at, 4, &number) || number > RecordJournal::kMaxValueBytes ||
          in.size() - *at < number) {
        return false;
      }
      value->bytes.assign(in.substr(*at, number));
      *at += number;
      return true;
  }
  return false;
}

}  // namespace

std::string encodeBindings(const std::vector<DbValue>& bindings) {
  std::string out;
  for (const DbValue& value : bindings) {
    out.push_back(static_cast<char>(value.type));
    if (value.type == DbValue::Type::kInteger) {
      putUnsigned(&out, static_cast<uint64_t>(value.integerValue), 8);
    } else if (value.type == DbValue::Type::kReal) {
      uint64_t bits;
      std::memcpy(&bits, &value.realValue, sizeof bits);
      putUnsigned(&out, bits, 8);
    } else if (value.type != DbValue::Type::kNull) {
      putUnsigned(&out, value.bytes.size(), 4);
      out += value.bytes;
    }
  }
  return out;
}

bool decodeBindings(std::string_view bytes, std::vector<DbValue>* bindings) {
  bindings->clear();
  size_t at = 0;
  while (at < bytes.size()) {
    DbValue value;
    if (!takeValue(bytes, &at, &value)) return false;
    bindings->push_back(std::move(value));
  }
  return true;
}

RecordJournal::RecordJournal(std::string path) : path_(path), database_(std::move(path)) {}

std::string RecordJournal::run(std::string_view sql, const std::vector<DbValue>& bindings) {
  StatementResult result = database_.run(sql, bindings);
  if (!result.error) return "";
  database_.rollBackOpenTransaction();
  return *result.error;
}

std::string RecordJournal::open() {
  std::string error = run(kCreateEntries, {});
  if (error.empty()) error = run(kCreateInFlight, {});
  if (error.empty()) error = countEntries();
  return error;
}

std::string RecordJournal::countEntries() {
  StatementResult counted = database_.run("SELECT count(*) FROM gs_journal", {});
  if (counted.error) return *counted.error;
  size_ = counted.rowCount() == 1 ? static_cast<size_t>(counted.values[0].integerValue) : 0;
  return "";
}

std::string RecordJournal::load(std::vector<Entry>* entries, std::optional<InFlight>* inFlight,
                                size_t* damaged) {
  entries->clear();
  inFlight->reset();
  *damaged = 0;
  StatementResult rows =
      database_.run("SELECT seq, sql, bindings FROM gs_journal ORDER BY seq LIMIT ?",
                    {DbValue::integer(kMaxEntries)});
  if (rows.error) return *rows.error;
  for (size_t r = 0; r < rows.rowCount(); ++r) {
    const DbValue* row = &rows.values[r * 3];
    Entry entry{row[0].integerValue, row[1].bytes, {}};
    if (row[1].type != DbValue::Type::kText || !decodeBindings(row[2].bytes, &entry.bindings)) {
      ++*damaged;
      continue;
    }
    entries->push_back(std::move(entry));
  }
  StatementResult batch =
      database_.run("SELECT client, batch, last_seq FROM gs_journal_batch LIMIT 1", {});
  if (batch.error) return *batch.error;
  if (batch.rowCount() == 1) {
    *inFlight =
        InFlight{batch.values[0].bytes, batch.values[1].integerValue, batch.values[2].integerValue};
  }
  return "";
}

std::string RecordJournal::append(std::span<const Write> writes, std::vector<int64_t>* seqs) {
  seqs->clear();
  if (writes.empty()) return "";
  std::string error = run("BEGIN IMMEDIATE", {});
  for (size_t i = 0; error.empty() && i < writes.size(); ++i) {
    StatementResult added =
        database_.run("INSERT INTO gs_journal (sql, bindings) VALUES (?, ?) RETURNING seq",
                      {DbValue::text(std::string(writes[i].sql)),
                       DbValue::blob(encodeBindings(*writes[i].bindings))});
    if (added.error || added.rowCount() != 1) {
      error = added.error.value_or("no sequence number");
      database_.rollBackOpenTransaction();
      break;
    }
    seqs->push_back(added.values[0].integerValue);
  }
  if (error.empty()) error = run("COMMIT", {});
  if (!error.empty()) {
    seqs->clear();
    return error;
  }
  size_ += writes.size();
  return "";
}

std::string RecordJournal::markInFlight(const InFlight& batch) {
  std::string error = run("BEGIN IMMEDIATE", {});
  if (error.empty()) error = run("DELETE FROM gs_journal_batch", {});
  if (error.empty()) {
    error = run("INSERT INTO gs_journal_batch (client, batch, last_seq) VALUES (?, ?, ?)",
                {DbValue::text(batch.client), DbValue::integer(batch.batch),
                 DbValue::integer(batch.lastSeq)});
  }
  return error.empty() ? run("COMMIT", {}) : error;
}

std::string RecordJournal::settled(int64_t lastSeq) {
  std::string error = run("BEGIN IMMEDIATE", {});
  if (error.empty())
    error = run("DELETE FROM gs_journal WHERE seq <= ?", {DbValue::integer(lastSeq)});
  if (error.empty()) error = run("DELETE FROM gs_journal_batch", {});
  if (error.empty()) error = run("COMMIT", {});
  return error.empty() ? countEntries() : error;
}

std::string RecordJournal::unmark() {
  return run("DELETE FROM gs_journal_batch", {});
}

std::string RecordJournal::forget(int64_t seq) {
  std::string error = run("DELETE FROM gs_journal WHERE seq = ?", {DbValue::integer(seq)});
  return error.empty() ? countEntries() : error;
}

}  // namespace gsadmin
