#ifndef GSADMIN_MODERATION_NAME_SKELETON_H_
#define GSADMIN_MODERATION_NAME_SKELETON_H_

#include <memory>
#include <string>
#include <string_view>

struct USpoofChecker;

namespace gsadmin {

// The key under which names that look alike meet: the confusables
// skeleton of Unicode's security mechanisms (UTS #39, through ICU's spoof
// checker) of the case-folded name, folded again. "Eve", "EVE" and "Evе"
// with a Cyrillic е share one; so, by design, do "Sam" and "Sarn". The
// fold comes first, as names matched in any case before: a capital I is
// an i then, never an l.
//
// Names are 8-bit wire texts. Only a name that is well-formed UTF-8 is
// Unicode text to fold; any other (Latin-1 bytes, a broken sequence) has
// its nameKey() as its skeleton, ASCII letters in lower case, as names
// were matched before skeletons. Names are cut to kMaxNameBytes first, as
// nameKey() cuts them. Loop thread only: one checker per owner.
class NameSkeletons {
 public:
  NameSkeletons();
  ~NameSkeletons();
  NameSkeletons(const NameSkeletons&) = delete;
  NameSkeletons& operator=(const NameSkeletons&) = delete;

  // The skeleton of `name`, as UTF-8 (or nameKey(), above). Without ICU's
  // data (the checker could not open) every skeleton is the nameKey().
  std::string of(std::string_view name) const;

 private:
  struct Closer {
    void operator()(USpoofChecker* checker) const;
  };
  std::unique_ptr<USpoofChecker, Closer> checker_;
};

}  // namespace gsadmin

#endif  // GSADMIN_MODERATION_NAME_SKELETON_H_
