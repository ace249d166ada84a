#include "moderation/name_skeleton.h"

#include <unicode/uspoof.h>
#include <unicode/ustring.h>

#include <functional>

#include "moderation/record_store.h"

namespace gsadmin {
namespace {

// One ICU call that writes into a buffer it is given and returns the
// length it needs: `produce(buffer, capacity, &status)`.
using Producer = std::function<int32_t(char16_t*, int32_t, UErrorCode*)>;

// What `produce` writes, tried with `guess` units of room and once more
// with the room it asked for; nothing on any other failure.
bool produceInto(const Producer& produce, int32_t guess, std::u16string* out) {
  out->resize(static_cast<size_t>(guess));
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = produce(out->data(), guess, &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    out->resize(static_cast<size_t>(length));
    status = U_ZERO_ERROR;
    length = produce(out->data(), length, &status);
  }
  if (U_FAILURE(status) || length < 0) return false;
  out->resize(static_cast<size_t>(length));
  return true;
}

bool folded(const std::u16string& text, std::u16string* out) {
  int32_t length = static_cast<int32_t>(text.size());
  return produceInto(
      [&](char16_t* buffer, int32_t capacity, UErrorCode* status) {
        return u_strFoldCase(buffer, capacity, text.data(), length, U_FOLD_CASE_DEFAULT, status);
      },
      length * 3 + 1, out);
}

}  // namespace

void NameSkeletons::Closer::operator()(USpoofChecker* checker) const {
  uspoof_close(checker);
}

NameSkeletons::NameSkeletons() {
  UErrorCode status = U_ZERO_ERROR;
  USpoofChecker* checker = uspoof_open(&status);
  if (U_SUCCESS(status)) checker_.reset(checker);
}

NameSkeletons::~NameSkeletons() = default;

std::string NameSkeletons::of(std::string_view name) const {
  std::string bounded = boundedText(name, kMaxNameBytes);
  if (!checker_) return nameKey(bounded);
  int32_t bytes = static_cast<int32_t>(bounded.size());
  std::u16string text;
  // A byte sequence that is not UTF-8 fails here (U_INVALID_CHAR_FOUND).
  bool unicode = produceInto(
      [&](char16_t* buffer, int32_t capacity, UErrorCode* status) {
        int32_t length = 0;
        u_strFromUTF8(buffer, capacity, &length, bounded.data(), bytes, status);
        return length;
      },
      bytes + 1, &text);
  std::u16string lower;
  std::u16string skeleton;
  std::u16string key;
  if (!unicode || !folded(text, &lower) ||
      !produceInto(
          [&](char16_t* buffer, int32_t capacity, UErrorCode* status) {
            return uspoof_getSkeleton(checker_.get(), 0, lower.data(),
                                      static_cast<int32_t>(lower.size()), buffer, capacity, status);
          },
          static_cast<int32_t>(lower.size()) * 4 + 1, &skeleton) ||
      !folded(skeleton, &key)) {
    return nameKey(bounded);
  }
  std::string utf8(key.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8(utf8.data(), static_cast<int32_t>(utf8.size()), &length, key.data(),
              static_cast<int32_t>(key.size()), &status);
  if (U_FAILURE(status)) return nameKey(bounded);
  utf8.resize(static_cast<size_t>(length));
  return utf8;
}

}  // namespace gsadmin
