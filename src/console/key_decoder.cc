#include "console/key_decoder.h"

namespace gsadmin {
namespace {

std::optional<Key> cursorKey(char final) {
  switch (final) {
    case 'A':
      return Key{Key::Kind::kUp};
    case 'B':
      return Key{Key::Kind::kDown};
    case 'C':
      return Key{Key::Kind::kRight};
    case 'D':
      return Key{Key::Kind::kLeft};
    case 'H':
      return Key{Key::Kind::kHome};
    case 'F':
      return Key{Key::Kind::kEnd};
    default:
      return std::nullopt;
  }
}

// "ESC [ n ~": the keys of the editing block, in the numbering of xterm and
// the Linux console.
std::optional<Key> editingKey(int number) {
  switch (number) {
    case 1:
    case 7:
      return Key{Key::Kind::kHome};
    case 3:
      return Key{Key::Kind::kDelete};
    case 4:
    case 8:
      return Key{Key::Kind::kEnd};
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<Key> KeyDecoder::feed(char byte) {
  auto u = static_cast<unsigned char>(byte);
  switch (state_) {
    case State::kText:
      if (u == 0x1b) {
        state_ = State::kEscape;
        length_ = 1;
        return std::nullopt;
      }
      if (u < 0x20 || u == 0x7f) return Key{Key::Kind::kControl, byte};
      return Key{Key::Kind::kText, byte};
    case State::kEscape:
      parameter_ = 0;
      ++length_;
      state_ = byte == '[' ? State::kCsi : byte == 'O' ? State::kSs3 : State::kText;
      // Alt plus a key: the key alone would surprise more than nothing.
      return std::nullopt;
    case State::kSs3:
      state_ = State::kText;
      return cursorKey(byte);
    case State::kCsi:
      if (++length_ > kMaxSequenceBytes) state_ = State::kText;
      if (u >= 0x40 && u <= 0x7e) return finishSequence(byte);
      if (byte >= '0' && byte <= '9' && parameter_ < 1000)
        parameter_ = parameter_ * 10 + (byte - '0');
      // Anything else (';', modifiers) only lengthens the sequence.
      return std::nullopt;
  }
  return std::nullopt;
}

std::optional<Key> KeyDecoder::finishSequence(char final) {
  state_ = State::kText;
  if (final == '~') return editingKey(parameter_);
  return cursorKey(final);
}

}  // namespace gsadmin
