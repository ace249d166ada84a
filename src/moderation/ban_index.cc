#include "moderation/ban_index.h"

#include <algorithm>

namespace gsadmin {
namespace {

// Grown when more than 7 slots in 8 are used, to 3 in 5; shrunk to that
// when a sweep leaves fewer than 1 in 4.
constexpr size_t kMinSlots = 64;

size_t slotsFor(size_t used) {
  return std::max(kMinSlots, used * 5 / 3 + 1);
}

uint32_t stored(uint32_t fingerprint) {
  return fingerprint == 0 ? 1 : fingerprint;
}

}  // namespace

size_t EndTable::find(uint32_t fingerprint) const {
  size_t at = home(fingerprint);
  while (slots_[at].fingerprint != 0 && slots_[at].fingerprint != fingerprint) {
    at = at + 1 == slots_.size() ? 0 : at + 1;
  }
  return at;
}

void EndTable::raise(uint32_t fingerprint, uint32_t end) {
  fingerprint = stored(fingerprint);
  if ((used_ + 1) * 8 > slots_.size() * 7) rebuild(slotsFor(used_ + 1));
  Slot& slot = slots_[find(fingerprint)];
  if (slot.fingerprint == 0) {
    slot = Slot{fingerprint, end};
    ++used_;
  } else {
    slot.end = std::max(slot.end, end);
  }
}

uint32_t EndTable::endOf(uint32_t fingerprint) const {
  if (used_ == 0) return 0;
  const Slot& slot = slots_[find(stored(fingerprint))];
  return slot.fingerprint == 0 ? 0 : slot.end;
}

size_t EndTable::prune(size_t cursor, size_t count, uint32_t moment) {
  size_t last = std::min(slots_.size(), cursor + count);
  for (size_t at = cursor; at < last; ++at) {
    // What a removal shifts back into this slot is looked at too.
    while (slots_[at].fingerprint != 0 && slots_[at].end <= moment) eraseAt(at);
  }
  if (last < slots_.size()) return last;
  if (used_ * 4 < slots_.size() && slots_.size() > kMinSlots) rebuild(slotsFor(used_));
  return 0;
}

void EndTable::rebuild(size_t slots) {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(slots, Slot{});
  slots_.shrink_to_fit();
  for (const Slot& slot : old) {
    if (slot.fingerprint != 0) slots_[find(slot.fingerprint)] = slot;
  }
}

void EndTable::eraseAt(size_t hole) {
  size_t at = hole;
  for (;;) {
    at = at + 1 == slots_.size() ? 0 : at + 1;
    if (slots_[at].fingerprint == 0) break;
    size_t wanted = home(slots_[at].fingerprint);
    // It stays where its home lies cyclically within (hole, at].
    bool stays = hole <= at ? (hole < wanted && wanted <= at) : (hole < wanted || wanted <= at);
    if (!stays) {
      slots_[hole] = slots_[at];
      hole = at;
    }
  }
  slots_[hole] = Slot{};
  --used_;
}

uint32_t BanIndex::fingerprint(std::string_view text) {
  // FNV-1a, then a finaliser that spreads every bit into the top half.
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  hash ^= hash >> 33;
  hash *= 0xff51afd7ed558ccdULL;
  hash ^= hash >> 33;
  return static_cast<uint32_t>(hash >> 32);
}

uint32_t BanIndex::endOf(std::optional<int64_t> until) {
  if (!until) return EndTable::kForever;
  return static_cast<uint32_t>(std::clamp<int64_t>(*until, 1, EndTable::kForever));
}

uint32_t BanIndex::momentOf(int64_t now) {
  return static_cast<uint32_t>(std::clamp<int64_t>(now, 0, EndTable::kForever - 1));
}

void BanIndex::raise(std::string_view key, std::string_view skeleton,
                     std::optional<int64_t> until) {
  uint32_t end = endOf(until);
  keys_.raise(hash_(key), end);
  skeletons_.raise(hash_(skeleton), end);
}

bool BanIndex::mayHoldKey(std::string_view key, int64_t now) const {
  return keys_.endOf(hash_(key)) > momentOf(now);
}

bool BanIndex::mayHoldSkeleton(std::string_view skeleton, int64_t now) const {
  return skeletons_.endOf(hash_(skeleton)) > momentOf(now);
}

bool BanIndex::prune(int64_t now) {
  // The keys first, then the skeletons: one sweep, one cursor.
  uint32_t moment = momentOf(now);
  if (!sweepingSkeletons_) {
    cursor_ = keys_.prune(cursor_, kPruneSlots, moment);
    sweepingSkeletons_ = cursor_ == 0;
    return false;
  }
  cursor_ = skeletons_.prune(cursor_, kPruneSlots, moment);
  sweepingSkeletons_ = cursor_ != 0;
  return cursor_ == 0;
}

}  // namespace gsadmin
