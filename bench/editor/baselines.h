// baselines.h: the rope and gap buffer editors, and one that only counts.
#pragma once

#include <cstdint>
#include <cstring>
#include <ext/rope>
#include <vector>

#include "baseline_io.h"

namespace editor_bench {

// The text as a balanced tree of shared pieces; the cursor is a position.
class rope_editor {
 public:
  void Move(int32_t p) {
    if (p < 0) p = 0;
    size_t total = text_.size();
    pos_ = static_cast<size_t>(p) > total ? total : static_cast<size_t>(p);
  }
  void Next() {
    if (pos_ < text_.size()) ++pos_;
  }
  void Prev() {
    if (pos_ > 0) --pos_;
  }
  void Get(int32_t n) {
    if (n > 0) {
      size_t m = clamp(n);
      // The rope copies into a buffer the size of the request.
      static std::vector<char> copy;
      if (copy.size() < m) copy.resize(m);
      text_.copy(pos_, m, copy.data());
      put(copy.data(), m);
    }
    end_line();
  }
  void Insert(int32_t n) {
    if (n > 0) text_.insert(pos_, insert_text(n), static_cast<size_t>(n));
  }
  void Delete(int32_t n) {
    if (n > 0) text_.erase(pos_, clamp(n));
  }

 private:
  size_t clamp(int32_t n) const {
    size_t left = text_.size() - pos_;
    return static_cast<size_t>(n) < left ? static_cast<size_t>(n) : left;
  }
  __gnu_cxx::crope text_;
  size_t pos_ = 0;
};

// Text before the gap, the gap, text after it; the gap moves only on edits.
class gap_editor {
 public:
  void Move(int32_t p) {
    if (p < 0) p = 0;
    pos_ = static_cast<size_t>(p) > size() ? size() : static_cast<size_t>(p);
  }
  void Next() {
    if (pos_ < size()) ++pos_;
  }
  void Prev() {
    if (pos_ > 0) --pos_;
  }
  void Get(int32_t n) {
    if (n > 0) {
      size_t m = clamp(n);
      size_t from = pos_;
      if (from < gap_start_) {
        size_t before = gap_start_ - from < m ? gap_start_ - from : m;
        put(buf_.data() + from, before);
        from += before;
        m -= before;
      }
      if (m > 0) put(buf_.data() + (from - gap_start_) + gap_end_, m);
    }
    end_line();
  }
  void Insert(int32_t n) {
    if (n <= 0) return;
    const char* chars = insert_text(n);
    size_t count = static_cast<size_t>(n);
    move_gap();
    if (gap_end_ - gap_start_ < count) grow(count);
    std::memcpy(buf_.data() + gap_start_, chars, count);
    gap_start_ += count;
  }
  void Delete(int32_t n) {
    if (n <= 0) return;
    size_t m = clamp(n);
    move_gap();
    gap_end_ += m;
  }

 private:
  size_t size() const { return buf_.size() - (gap_end_ - gap_start_); }
  size_t clamp(int32_t n) const {
    size_t left = size() - pos_;
    return static_cast<size_t>(n) < left ? static_cast<size_t>(n) : left;
  }
  // Brings the gap to the cursor.
  void move_gap() {
    char* b = buf_.data();
    if (pos_ < gap_start_) {
      size_t k = gap_start_ - pos_;
      std::memmove(b + gap_end_ - k, b + pos_, k);
      gap_start_ -= k;
      gap_end_ -= k;
    } else if (pos_ > gap_start_) {
      size_t k = pos_ - gap_start_;
      std::memmove(b + gap_start_, b + gap_end_, k);
      gap_start_ += k;
      gap_end_ += k;
    }
  }
  // Doubles the buffer so that a gap of at least need opens at the cursor.
  void grow(size_t need) {
    size_t after = buf_.size() - gap_end_;
    size_t capacity = buf_.size() * 2;
    if (capacity < size() + need + 4096) capacity = size() + need + 4096;
    std::vector<char> bigger(capacity);
    if (!buf_.empty()) {  // an empty vector's data() may be null
      std::memcpy(bigger.data(), buf_.data(), gap_start_);
      std::memcpy(bigger.data() + capacity - after, buf_.data() + gap_end_,
                  after);
    }
    gap_end_ = capacity - after;
    buf_.swap(bigger);
  }
  std::vector<char> buf_;
  size_t gap_start_ = 0;
  size_t gap_end_ = 0;
  size_t pos_ = 0;
};

// Only the text length and cursor; Get writes as many filler bytes as the
// editors write characters, so that it pays the same output cost.
class count_editor {
 public:
  void Move(int32_t p) {
    if (p < 0) p = 0;
    pos_ = static_cast<size_t>(p) > total_ ? total_ : static_cast<size_t>(p);
  }
  void Next() {
    if (pos_ < total_) ++pos_;
  }
  void Prev() {
    if (pos_ > 0) --pos_;
  }
  void Get(int32_t n) {
    if (n > 0) {
      size_t m = clamp(n);
      static std::vector<char> filler;
      if (filler.size() < m) filler.resize(m, '.');
      put(filler.data(), m);
    }
    end_line();
  }
  // The text is read as the editors read it, then only counted.
  void Insert(int32_t n) {
    if (n > 0) {
      insert_text(n);
      total_ += static_cast<size_t>(n);
    }
  }
  void Delete(int32_t n) {
    if (n > 0) total_ -= clamp(n);
  }

 private:
  size_t clamp(int32_t n) const {
    size_t left = total_ - pos_;
    return static_cast<size_t>(n) < left ? static_cast<size_t>(n) : left;
  }
  size_t total_ = 0;
  size_t pos_ = 0;
};

}  // namespace editor_bench
