#ifndef GSADMIN_MODEL_REGISTRY_H_
#define GSADMIN_MODEL_REGISTRY_H_

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace gsadmin {

// Records of one kind in the order they were added, owned here: the one
// shape of the players, vehicles and weapons. Records never move, so a
// pointer to one stays valid until that record is destroyed, and every
// destruction is announced first to the forget hook (set by the World), so
// that whoever points at the record can let go.
template <typename Record>
class Registry {
 public:
  using ForgetHook = std::function<void(const Record*)>;

  Registry() = default;
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  void setForgetHook(ForgetHook hook) { forget_ = std::move(hook); }

  // Destroys `replaced` (when it is held here), then appends `record` and
  // returns it.
  Record& addOrReplace(std::unique_ptr<Record> record, const Record* replaced) {
    if (replaced != nullptr) remove(*replaced);
    records_.push_back(std::move(record));
    return *records_.back();
  }

  // The first record for which `matches` holds, or null.
  template <typename Predicate>
  Record* findFirst(Predicate matches) const {
    auto it = std::find_if(records_.begin(), records_.end(),
                           [&](const std::unique_ptr<Record>& record) { return matches(*record); });
    return it == records_.end() ? nullptr : it->get();
  }

  // Destroys `record`; one not held here is ignored.
  void remove(const Record& record) {
    auto it =
        std::find_if(records_.begin(), records_.end(),
                     [&](const std::unique_ptr<Record>& held) { return held.get() == &record; });
    if (it == records_.end()) return;
    if (forget_) forget_(it->get());
    records_.erase(it);
  }

  // Destroys every record.
  void clear() {
    if (forget_) {
      for (const auto& record : records_) forget_(record.get());
    }
    records_.clear();
  }

  size_t size() const { return records_.size(); }
  const std::vector<std::unique_ptr<Record>>& all() const { return records_; }

 private:
  std::vector<std::unique_ptr<Record>> records_;
  ForgetHook forget_;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODEL_REGISTRY_H_
