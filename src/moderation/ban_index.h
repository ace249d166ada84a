#ifndef GSADMIN_MODERATION_BAN_INDEX_H_
#define GSADMIN_MODERATION_BAN_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace gsadmin {

// A map of 32-bit fingerprints to end times (seconds since the epoch, held
// in 32 bits), open addressing with linear probing: 8 bytes a slot, at
// least 60% of them used once grown. Where two fingerprints are one, the
// slot holds the later end.
class EndTable {
 public:
  // The end of a ban that never ends; also that of one ending after 2106.
  static constexpr uint32_t kForever = UINT32_MAX;

  // Raises the end held for `fingerprint` to `end`; never lowers it.
  void raise(uint32_t fingerprint, uint32_t end);
  // The end held for `fingerprint`; 0 when none.
  uint32_t endOf(uint32_t fingerprint) const;
  // Drops the ends at or before `moment` among `count` slots from
  // `cursor`; the cursor to go on from, 0 once the last slot was swept.
  size_t prune(size_t cursor, size_t count, uint32_t moment);

  size_t size() const { return used_; }
  size_t bytes() const { return slots_.capacity() * sizeof(Slot); }

 private:
  struct Slot {
    uint32_t fingerprint = 0;  // 0: empty (a fingerprint 0 is held as 1)
    uint32_t end = 0;
  };

  size_t home(uint32_t fingerprint) const {
    return static_cast<size_t>((static_cast<uint64_t>(fingerprint) * slots_.size()) >> 32);
  }
  // The slot of `fingerprint`, or the empty one where it would go.
  size_t find(uint32_t fingerprint) const;
  void rebuild(size_t slots);
  // Empties slot `hole` and shifts back the run after it.
  void eraseAt(size_t hole);

  std::vector<Slot> slots_;
  size_t used_ = 0;
};

// The active bans in compact form, so that the check at a join asks the
// database only when a ban may hold: the latest end of the bans on each
// name key, and of those on each skeleton (NameSkeletons), by 32-bit
// fingerprint. About 20 to 27 bytes a ban. An answer "may hold" is a hint
// (fingerprints collide, and lifted bans are not taken out): the records
// read from the database by name key or skeleton decide. "Does not hold"
// is certain as long as every ban was raise()d.
class BanIndex {
 public:
  // The fingerprint of a text; tests give one that collides.
  using Hash = uint32_t (*)(std::string_view text);
  static uint32_t fingerprint(std::string_view text);

  explicit BanIndex(Hash hash = &fingerprint) : hash_(hash) {}

  // A ban on `key` (whose names have `skeleton`) until `until` (absent:
  // never).
  void raise(std::string_view key, std::string_view skeleton, std::optional<int64_t> until);
  bool mayHoldKey(std::string_view key, int64_t now) const;
  bool mayHoldSkeleton(std::string_view skeleton, int64_t now) const;
  // Drops a bounded number of ended entries, sweeping on from the last
  // call; true once a sweep ended.
  bool prune(int64_t now);

  size_t bytes() const { return keys_.bytes() + skeletons_.bytes(); }
  size_t keys() const { return keys_.size(); }

  // The end held for `until`, and the moment compared with it for `now`:
  // whenever until > now, end > moment.
  static uint32_t endOf(std::optional<int64_t> until);
  static uint32_t momentOf(int64_t now);

 private:
  static constexpr size_t kPruneSlots = 1 << 16;

  Hash hash_;
  EndTable keys_;
  EndTable skeletons_;
  size_t cursor_ = 0;
  bool sweepingSkeletons_ = false;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_BAN_INDEX_H_
