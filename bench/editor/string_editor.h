// string_editor.h: the one-std::string baseline, also the driver's model.
#pragma once

#include <cstdint>
#include <string>

#include "baseline_io.h"

namespace editor_bench {

// The whole text in one string; the cursor is a text position.
class string_editor {
 public:
  void Move(int32_t p) {
    if (p < 0) p = 0;
    pos_ = static_cast<size_t>(p) > text_.size() ? text_.size()
                                                 : static_cast<size_t>(p);
  }
  void Next() {
    if (pos_ < text_.size()) ++pos_;
  }
  void Prev() {
    if (pos_ > 0) --pos_;
  }
  void Get(int32_t n) {
    if (n > 0) put(text_.data() + pos_, clamp(n));
    end_line();
  }
  void Insert(int32_t n) {
    if (n > 0) text_.insert(pos_, insert_text(n), static_cast<size_t>(n));
  }
  void Delete(int32_t n) {
    if (n > 0) text_.erase(pos_, clamp(n));
  }
  size_t size() const { return text_.size(); }
  size_t position() const { return pos_; }

 private:
  // At most the characters that follow the cursor.
  size_t clamp(int32_t n) const {
    size_t left = text_.size() - pos_;
    return static_cast<size_t>(n) < left ? static_cast<size_t>(n) : left;
  }
  std::string text_;
  size_t pos_ = 0;
};

}  // namespace editor_bench
