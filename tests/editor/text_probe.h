// text_probe.h: the tests' view into class text: its fields, its layout, an
// invariant check, and a way to lay out blocks directly.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "text.h"

struct text_probe {
  static int32_t nblk(const text& x) { return x.nblk; }
  static int32_t cur(const text& x) { return x.cur; }
  static int32_t off(const text& x) { return x.off; }
  static int32_t total(const text& x) { return x.total; }
  static int32_t table_limit(const text& x) { return x.limit; }
  static void recalc(text& x) { x.recalc(); }
  // The cursor's text position.
  static int32_t position(text& x) { return x.position(); }

  static const block& blk(const text& x, int32_t i) {
    for (const text::chunk* c : x.chunks) {
      if (i < c->n) return c->b[i];
      i -= c->n;
    }
    return x.chunks.back()->b[x.chunks.back()->n - 1];
  }

  // The text position of block i's first character.
  static int32_t start(text& x, int32_t i) {
    text::place p = x.locate(i);
    int32_t s = x.start_of(size_t(p.chunk));
    for (int32_t k = 0; k < p.slot; ++k) s += x.at(text::place{p.chunk, k}).len;
    return s;
  }

  static std::vector<int32_t> lengths(const text& x) {
    std::vector<int32_t> lens;
    for (const text::chunk* c : x.chunks)
      for (int32_t s = 0; s < c->n; ++s) lens.push_back(c->b[s].len);
    return lens;
  }

  static std::string contents(const text& x) {
    std::string all;
    for (const text::chunk* c : x.chunks)
      for (int32_t s = 0; s < c->n; ++s)
        for (int32_t i = 0; i < c->b[s].len; ++i) all += *c->b[s].slot(i);
    return all;
  }

  // Every internal invariant holds.
  static bool consistent(const text& x) {
    const int32_t chunk_blocks = TEXT_CHUNK_BLOCKS;
    const int32_t inline_chars = TEXT_INLINE_CHARS;
    if (x.chunks.empty()) return false;
    if (x.fen_valid && (x.fen_blocks.size() != x.chunks.size() + 1 ||
                        x.fen_chars.size() != x.chunks.size() + 1))
      return false;
    int32_t blocks = 0;
    int64_t chars = 0;
    for (size_t ci = 0; ci < x.chunks.size(); ++ci) {
      const text::chunk* c = x.chunks[ci];
      if (c->n < 1 || c->n > chunk_blocks) return false;
      // The trees, when they are up to date, agree with the chunks.
      if (x.fen_valid && (x.first_of(ci) != blocks || x.start_of(ci) != chars))
        return false;
      int64_t in_chunk = 0;
      for (int32_t s = 0; s < c->n; ++s) {
        const block& b = c->b[s];
        if (b.len < 0 || b.len > text::block_chars || b.cap < b.len)
          return false;
        if (b.cap < inline_chars ||
            b.cap > std::max(text::block_chars, inline_chars))
          return false;
        if (b.cap > inline_chars && b.slots.heap == nullptr) return false;
        if (b.gap < 0 || b.gap > b.len) return false;
        in_chunk += b.len;
      }
      if (in_chunk != c->chars) return false;
      if (ci == size_t(x.here.chunk) && x.here.slot >= c->n) return false;
      blocks += c->n;
      chars += in_chunk;
    }
    if (blocks != x.nblk || chars != x.total || x.nblk > x.limit) return false;
    if (size_t(x.here.chunk) >= x.chunks.size()) return false;
    int32_t here_index = x.here.slot;
    for (int32_t ci = 0; ci < x.here.chunk; ++ci)
      here_index += x.chunks[size_t(ci)]->n;
    if (here_index != x.cur) return false;
    if (x.here_start != start(const_cast<text&>(x), x.cur)) return false;
    return x.off >= 0 && x.off <= x.at(x.here).len;
  }

  // Makes x a text whose blocks hold these strings, cursor at (0, 0).
  static void fill_blocks(text& x, const std::vector<std::string>& blocks) {
    x.clear();
    x.nblk = 0;
    x.total = 0;
    text::chunk* c = nullptr;
    for (const std::string& s : blocks) {
      if (c == nullptr || c->n == TEXT_CHUNK_BLOCKS) {
        c = new text::chunk;
        c->n = 0;
        c->chars = 0;
        x.chunks.push_back(c);
      }
      int32_t len = int32_t(std::min(s.size(), size_t(text::block_chars)));
      block b = text::make_block(len);
      if (len > 0) std::copy(s.begin(), s.begin() + len, b.data());
      c->b[c->n++] = b;
      c->chars += len;
      x.total += len;
      ++x.nblk;
    }
    if (x.chunks.empty()) {
      c = new text::chunk;
      c->n = 1;
      c->chars = 0;
      c->b[0] = text::make_block(0);
      x.chunks.push_back(c);
      x.nblk = 1;
    }
    x.limit = std::max(x.limit, x.nblk);
    x.here = text::place{0, 0};
    x.cur = 0;
    x.off = 0;
  }
};
