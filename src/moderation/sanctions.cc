#include "moderation/sanctions.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

#include "moderation/sanction_rows.h"

namespace gsadmin {
namespace {

constexpr int64_t kPruneIntervalSeconds = 60;
constexpr int64_t kListPageRows = 10000;
// A page of the reader's read stops after this long on a shared database.
constexpr uint64_t kReaderStatementMs = 60000;

DbValue optionalValue(std::optional<int64_t> value) {
  return value ? DbValue::integer(*value) : DbValue::null();
}

}  // namespace

Sanctions::Sanctions(RecordStore& store, BanIndex::Hash hash) : store_(store), hash_(hash) {}

Sanctions::~Sanctions() = default;

std::string Sanctions::load(int64_t now) {
  loader_.reset();
  index_.reset();
  raised_.clear();
  retryAt_.reset();
  nextPrune_ = now + kPruneIntervalSeconds;
  std::unique_ptr<Database> reader = store_.database().readOnlyConnection(kReaderStatementMs);
  if (reader) {
    loader_ = std::make_unique<BanLoader>(std::move(reader), hash_, now);
    return "";
  }
  BanIndex index(hash_);
  std::string error = readActiveBans(store_.database(), now, index);
  if (error.empty()) install(std::move(index));
  return error;
}

std::string Sanctions::poll(int64_t now) {
  std::string error;
  if (loader_ && loader_->done()) {
    std::optional<BanIndex> index = loader_->take(&error);
    loader_.reset();
    if (index) {
      install(std::move(*index));
      errorSaid_ = false;
    } else {
      raised_.clear();
      retryAt_ = now + kRetrySeconds;
      if (errorSaid_) error.clear();
      errorSaid_ = true;
    }
  }
  if (!index_ && !loader_ && retryAt_ && now >= *retryAt_) load(now);
  if (index_ && now >= nextPrune_ && index_->prune(now)) nextPrune_ = now + kPruneIntervalSeconds;
  return error;
}

std::string Sanctions::awaitLoaded(int64_t now) {
  if (loader_) loader_->wait();
  return poll(now);
}

size_t Sanctions::indexBytes() const {
  return index_ ? index_->bytes() : 0;
}

void Sanctions::install(BanIndex index) {
  // What came while it was read, and what the database does not have yet.
  for (const Raised& ban : raised_) index.raise(ban.key, ban.skeleton, ban.until);
  raised_.clear();
  for (const Unwritten& ban : unwritten_) index.raise(ban.key, ban.skeleton, ban.ban.until);
  index_ = std::move(index);
}

void Sanctions::raise(const std::string& key, const std::string& skeleton,
                      std::optional<int64_t> until) {
  if (index_) index_->raise(key, skeleton, until);
  if (loader_) raised_.push_back(Raised{key, skeleton, until});
}

std::string Sanctions::loadName(std::string_view name, int64_t now) {
  // The index only ever rises: a ban lifted elsewhere leaves a hint that
  // the database then answers.
  std::string key = nameKey(name);
  StatementResult result =
      store_.query("SELECT skeleton, until FROM gs_sanctions WHERE name_key = ? AND " BAN_HOLDS,
                   {DbValue::text(key), DbValue::integer(now)});
  if (result.error) return *result.error;
  if (result.columns.size() != 2) return "unexpected columns in gs_sanctions";
  forgetKnown(key);  // read again at the next check
  for (size_t row = 0; row < result.rowCount(); ++row) {
    raise(key, result.values[row * 2].bytes, optionalAt(result.values[row * 2 + 1]));
  }
  return "";
}

void Sanctions::record(std::string_view name, std::string_view kind, int64_t seconds,
                       std::optional<int64_t> until, std::string_view reason,
                       std::string_view actor, int64_t now) {
  std::string key = nameKey(name);
  std::string shown = boundedText(name, kMaxNameBytes);
  std::string kept = boundedText(reason, kMaxReasonBytes);
  bool ban = isBan(kind);
  std::string skeleton = ban ? skeletons_.of(key) : std::string();
  bool queued = store_.queue(
      kInsertSanction,
      {DbValue::integer(now), DbValue::text(key), DbValue::text(shown),
       DbValue::text(std::string(kind)), DbValue::integer(seconds), optionalValue(until),
       DbValue::text(kept), DbValue::text(std::string(actor)), DbValue::text(store_.serverName()),
       ban ? DbValue::text(skeleton) : DbValue::null()});
  uint64_t ticket = store_.lastTicket();
  last_ = Recorded{key, std::string(kind), now, queued ? ticket : 0};
  if (!ban) return;
  store_.queueNotice(kBansNotice + key);
  raise(key, skeleton, until);
  if (!queued) return;  // dropped and counted, as every record
  forgetWritten();
  unwritten_.push_back(Unwritten{
      ticket, key, std::move(skeleton),
      SanctionRecord{0, now, std::move(shown), std::string(kind), seconds, until, std::move(kept),
                     std::string(actor), std::nullopt, store_.serverName()}});
}

int64_t Sanctions::lastNumber() {
  if (!last_ || last_->ticket == 0) return 0;
  // The query writes the queue first; the newest row of the key, kind and
  // moment made here is the one.
  StatementResult result = store_.query(
      "SELECT max(id) FROM gs_sanctions WHERE name_key = ? AND kind = ? AND time = ? AND server = "
      "?",
      {DbValue::text(last_->key), DbValue::text(last_->kind), DbValue::integer(last_->time),
       DbValue::text(store_.serverName())});
  if (result.error || result.rowCount() != 1 || store_.waiting(last_->ticket)) return 0;
  int64_t id = integerAt(result.values[0]);
  for (Unwritten& ban : unwritten_) {
    if (ban.ticket == last_->ticket) ban.ban.id = id;
  }
  for (Unwritten& ban : known_) {
    if (ban.ticket == last_->ticket) ban.ban.id = id;
  }
  return id;
}

size_t Sanctions::lift(const std::vector<std::string>& names, std::string_view reason,
                       std::string_view actor, int64_t now) {
  size_t lifted = 0;
  for (const std::string& name : names) {
    std::string key = nameKey(name);
    if (!mayHold(By::kKey, key, now)) continue;
    size_t holding = bansBy(By::kKey, key, now).value_or(std::vector<SanctionRecord>()).size();
    if (holding == 0) continue;
    // The update follows the unwritten bans in the queue: it lifts them too.
    if (store_.queue("UPDATE gs_sanctions SET lifted = ? WHERE name_key = ? AND " BAN_HOLDS,
                     {DbValue::integer(now), DbValue::text(key), DbValue::integer(now)})) {
      unwrittenLifts_.push_back(UnwrittenLift{store_.lastTicket(), key});
    }
    store_.queueNotice(kBansNotice + key);
    std::erase_if(unwritten_, [&key](const Unwritten& ban) { return ban.key == key; });
    forgetKnown(key);
    lifted += holding;
  }
  if (lifted > 0 && !names.empty()) {
    record(names.front(), kSanctionUnban, 0, std::nullopt, reason, actor, now);
  }
  return lifted;
}

std::optional<SanctionRecord> Sanctions::activeBan(std::string_view name, int64_t now) {
  std::string key = nameKey(name);
  if (mayHold(By::kKey, key, now)) {
    std::optional<std::vector<SanctionRecord>> own = bansBy(By::kKey, key, now);
    if (own && !own->empty()) return *longestHolding(*own, now);
  }
  std::string skeleton = skeletons_.of(name);
  if (!mayHold(By::kSkeleton, skeleton, now)) return std::nullopt;
  std::optional<std::vector<SanctionRecord>> alike = bansBy(By::kSkeleton, skeleton, now);
  if (!alike || alike->empty()) return std::nullopt;
  return *longestHolding(*alike, now);
}

bool Sanctions::mayHold(By by, const std::string& text, int64_t now) const {
  if (!index_) return true;
  return by == By::kKey ? index_->mayHoldKey(text, now) : index_->mayHoldSkeleton(text, now);
}

std::optional<std::vector<SanctionRecord>> Sanctions::bansBy(By by, const std::string& text,
                                                             int64_t now) {
  auto matches = [by, &text](const Unwritten& ban) {
    return (by == By::kKey ? ban.key : ban.skeleton) == text;
  };
  std::optional<std::vector<SanctionRecord>> bans = readBans(by, text, now);
  if (!bans) {
    // Not readable (a shared database away): what this run has read
    // holds, as far as it goes.
    bans.emplace();
    for (const Unwritten& ban : known_) {
      if (matches(ban) && holdsAt(ban.ban, now)) bans->push_back(ban.ban);
    }
  }
  withUnwritten(*bans, now, matches);
  return bans;
}

std::optional<std::vector<SanctionRecord>> Sanctions::readBans(By by, const std::string& text,
                                                               int64_t now) {
  StatementResult result =
      by == By::kKey ? store_.query("SELECT " SANCTION_COLUMNS
                                    " FROM gs_sanctions WHERE name_key = ? AND " BAN_HOLDS,
                                    {DbValue::text(text), DbValue::integer(now)})
                     : store_.query("SELECT " SANCTION_COLUMNS
                                    " FROM gs_sanctions WHERE skeleton = ? AND " BAN_HOLDS,
                                    {DbValue::text(text), DbValue::integer(now)});
  if (result.error) return std::nullopt;
  std::vector<SanctionRecord> bans = sanctionRows(result);
  std::vector<std::string> keys;
  for (const SanctionRecord& ban : bans) {
    std::string key = nameKey(ban.name);
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
      forgetKnown(key);  // what the database says now replaces it
      keys.push_back(key);
    }
    remember(Unwritten{0, key, by == By::kSkeleton ? text : skeletons_.of(key), ban});
  }
  return bans;
}

void Sanctions::remember(Unwritten ban) {
  if (known_.size() >= kMaxKnownBans) known_.pop_front();
  known_.push_back(std::move(ban));
}

void Sanctions::forgetKnown(const std::string& key) {
  std::erase_if(known_, [&key](const Unwritten& ban) { return ban.key == key; });
}

template <typename Matches>
void Sanctions::withUnwritten(std::vector<SanctionRecord>& bans, int64_t now, Matches matches) {
  // After the query, which wrote the queue if it could.
  forgetWritten();
  if (!unwrittenLifts_.empty()) {
    std::erase_if(bans, [this](const SanctionRecord& ban) {
      std::string key = nameKey(ban.name);
      return std::any_of(unwrittenLifts_.begin(), unwrittenLifts_.end(),
                         [&key](const UnwrittenLift& lift) { return lift.key == key; });
    });
  }
  for (const Unwritten& ban : unwritten_) {
    if (matches(ban) && holdsAt(ban.ban, now)) bans.push_back(ban.ban);
  }
}

void Sanctions::forgetWritten() {
  std::erase_if(unwritten_, [this](Unwritten& ban) {
    if (store_.waiting(ban.ticket)) return false;
    remember(std::move(ban));
    return true;
  });
  std::erase_if(unwrittenLifts_,
                [this](const UnwrittenLift& lift) { return !store_.waiting(lift.ticket); });
}

std::optional<std::vector<SanctionRecord>> Sanctions::activeBans(int64_t now) {
  // In pages by id, as the reader reads them, each name's longest kept.
  std::unordered_map<std::string, SanctionRecord> longest;
  auto keep = [&longest, now](SanctionRecord ban) {
    if (!isBan(ban.kind) || !holdsAt(ban, now)) return;
    auto [at, added] = longest.try_emplace(nameKey(ban.name), ban);
    if (!added && endsLater(ban, at->second)) at->second = std::move(ban);
  };
  int64_t after = INT64_MIN;
  for (;;) {
    StatementResult result = store_.query(
        "SELECT " SANCTION_COLUMNS " FROM gs_sanctions WHERE id > ? ORDER BY id LIMIT ?",
        {DbValue::integer(after), DbValue::integer(kListPageRows)});
    if (result.error) return std::nullopt;
    std::vector<SanctionRecord> page = sanctionRows(result);
    if (!page.empty()) after = page.back().id;
    std::erase_if(
        page, [now](const SanctionRecord& ban) { return !isBan(ban.kind) || !holdsAt(ban, now); });
    bool last = result.rowCount() < static_cast<size_t>(kListPageRows);
    withUnwritten(page, now, [last](const Unwritten&) { return last; });
    for (SanctionRecord& ban : page) keep(std::move(ban));
    if (last) break;
  }
  std::vector<SanctionRecord> bans;
  for (auto& [key, ban] : longest) bans.push_back(std::move(ban));
  std::sort(bans.begin(), bans.end(), [](const SanctionRecord& a, const SanctionRecord& b) {
    if (endsLater(b, a)) return true;
    if (endsLater(a, b)) return false;
    return nameKey(a.name) < nameKey(b.name);
  });
  return bans;
}

}  // namespace gsadmin
