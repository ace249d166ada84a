#ifndef GSADMIN_CONSOLE_KEY_DECODER_H_
#define GSADMIN_CONSOLE_KEY_DECODER_H_

#include <optional>

namespace gsadmin {

// One key the operator pressed, as the line editor sees it.
struct Key {
  enum class Kind {
    kText,     // a byte of text (printable ASCII or part of a UTF-8 character): `byte`
    kControl,  // Ctrl plus a letter, Enter, Tab and Backspace included: `byte` is the control byte
    kLeft,
    kRight,
    kUp,
    kDown,
    kHome,
    kEnd,
    kDelete,
  };
  Kind kind;
  char byte = 0;
};

// Turns the bytes a terminal sends into keys: text, control bytes and the
// escape sequences of the cursor keys (both the CSI and the SS3 forms).
// Sequences split across reads are completed by later bytes; an unknown
// sequence is dropped whole, never typed as text.
class KeyDecoder {
 public:
  // The key `byte` completes, or none while a sequence is still open (or
  // was dropped).
  std::optional<Key> feed(char byte);

 private:
  // Past this many bytes an open sequence is garbage: it is dropped.
  static constexpr int kMaxSequenceBytes = 16;

  std::optional<Key> finishSequence(char final);

  enum class State { kText, kEscape, kCsi, kSs3 };
  State state_ = State::kText;
  int parameter_ = 0;  // the first number of a CSI sequence
  int length_ = 0;     // bytes of the open sequence
};

}  // namespace gsadmin

#endif  // GSADMIN_CONSOLE_KEY_DECODER_H_
