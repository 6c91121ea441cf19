// SecretText: an owned text that holds a secret (a master password) and is overwritten with zeros
// when it is destroyed, and when it is moved from, so that no copy stays behind in freed memory.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "base/wipe.h"

namespace quarn {

class SecretText {
 public:
  SecretText() = default;
  // Takes the text over; what the move leaves in `text` (a short text stays in place) is wiped.
  explicit SecretText(std::string&& text) : text_(std::move(text)) { wipe_and_release(text); }
  SecretText(SecretText&& other) noexcept : text_(std::move(other.text_)) {
    wipe_and_release(other.text_);
  }
  SecretText& operator=(SecretText&& other) noexcept {
    if (this != &other) {
      wipe_and_release(text_);
      text_ = std::move(other.text_);
      wipe_and_release(other.text_);
    }
    return *this;
  }
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;
  ~SecretText() { wipe_and_release(text_); }

  std::string_view view() const { return text_; }

 private:
  std::string text_;
};

}  // namespace quarn
