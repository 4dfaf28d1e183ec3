// block_model.h: the block rules written out literally over a vector of
// strings, as the reference for the layout that class text must keep.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "text.h"

struct block_model {
  int32_t capacity;
  int32_t limit;
  std::vector<std::string> blk{std::string()};
  int32_t cur = 0;
  int32_t off = 0;

  block_model(int32_t block_capacity, int32_t table_limit)
      : capacity(block_capacity), limit(table_limit) {}

  int32_t nblk() const { return int32_t(blk.size()); }
  int32_t len(int32_t i) const { return int32_t(blk[size_t(i)].size()); }
  int32_t start(int32_t i) const {
    int32_t s = 0;
    for (int32_t k = 0; k < i; ++k) s += len(k);
    return s;
  }
  int32_t total() const { return start(nblk()); }
  std::vector<int32_t> lengths() const {
    std::vector<int32_t> lens;
    for (const std::string& b : blk) lens.push_back(int32_t(b.size()));
    return lens;
  }

  void Move(int32_t p) {
    p = std::clamp(p, 0, total());
    int32_t lo = 0, hi = nblk() - 1;
    while (lo <= hi) {
      int32_t mid = (lo + hi) / 2;
      if (start(mid) > p)
        hi = mid - 1;
      else
        lo = mid + 1;
    }
    cur = hi;
    off = p - start(hi);
  }

  // bufchar; false (cursor untouched) when no character follows.
  bool bufchar() {
    int32_t c = cur, o = off;
    while (o == len(c)) {
      if (c + 1 == nblk()) return false;
      ++c;
      o = 0;
    }
    cur = c;
    off = o;
    return true;
  }

  void Next() {
    if (bufchar()) ++off;
  }

  void Prev() {
    int32_t c = cur, o = off;
    while (o == 0) {
      if (c == 0) return;
      --c;
      o = len(c);
    }
    cur = c;
    off = o - 1;
  }

  std::string Get(int32_t n) const {
    std::string out;
    int32_t c = cur, o = off;
    for (; n > 0; --n) {
      while (o == len(c)) {
        if (c + 1 == nblk()) return out + "\n";
        ++c;
        o = 0;
      }
      out += blk[size_t(c)][size_t(o++)];
    }
    return out + "\n";
  }

  void repack(int32_t pending) {
    int32_t p = start(cur) + off;
    std::string all;
    for (const std::string& b : blk) all += b;
    blk.clear();
    for (size_t i = 0; i < all.size(); i += size_t(capacity))
      blk.push_back(all.substr(i, size_t(capacity)));
    if (blk.empty()) blk.emplace_back();
    limit = repacked_limit(limit, nblk(), pending, capacity);
    Move(p);
  }

  // insertblank followed by overwrite with these characters.
  void Insert(const std::string& chars) {
    int32_t n = int32_t(chars.size());
    if (n == 0) return;
    for (;;) {
      std::string& B = blk[size_t(cur)];
      int32_t L = int32_t(B.size()), o = off;
      if (L + n <= capacity) {
        B.insert(size_t(o), chars);
        return;
      }
      int32_t rest = n;
      bool split = o < L;
      if (split) rest = capacity - o >= n ? 0 : n - (capacity - o);
      int32_t q = rest / capacity, r = rest % capacity;
      int32_t k = (split ? 1 : 0) + q + (r > 0 ? 1 : 0);
      if (nblk() + k > limit) {
        repack(n);
        continue;
      }
      std::vector<std::string> added;
      std::string tail;
      size_t used = 0;
      if (split) {
        tail = B.substr(size_t(o));
        int32_t in_b = n - rest;
        B = B.substr(0, size_t(o)) + chars.substr(0, size_t(in_b));
        used = size_t(in_b);
      }
      for (int32_t i = 0; i < q; ++i, used += size_t(capacity))
        added.push_back(chars.substr(used, size_t(capacity)));
      if (r > 0) added.push_back(chars.substr(used, size_t(r)));
      if (split) added.push_back(tail);
      blk.insert(blk.begin() + cur + 1, added.begin(), added.end());
      return;
    }
  }

  void Delete(int32_t n) {
    if (n <= 0) return;
    std::string& B = blk[size_t(cur)];
    int32_t L = int32_t(B.size()), o = off;
    if (o < L) {
      if (o <= L - n) {
        B.erase(size_t(o), size_t(n));
        return;
      }
      n -= L - o;
      B.resize(size_t(o));
    }
    if (!bufchar()) return;
    int32_t first = cur;
    while (cur < nblk() && len(cur) <= n) {
      n -= len(cur);
      ++cur;
    }
    if (n > 0 && cur < nblk()) blk[size_t(cur)].erase(0, size_t(n));
    blk.erase(blk.begin() + first, blk.begin() + cur);
    cur = first;
    if (cur >= nblk()) {
      cur = nblk() - 1;
      off = len(cur);
    }
  }
};
