// text.cpp: the block text buffer: layout, cursor, insertion and deletion.
#include "text.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "script.h"

namespace {

constexpr int32_t kChunk = TEXT_CHUNK_BLOCKS;
static_assert(TEXT_BLOCK_CHARS >= 1, "a block holds at least one character");
static_assert(TEXT_MAX_BLOCKS >= 1, "the table holds at least one block");
static_assert(TEXT_CHUNK_BLOCKS >= 2, "a chunk must be able to split");
static_assert(TEXT_MAX_CHARS >= 0, "the text size limit is a position");

constexpr int32_t kLocal = TEXT_INLINE_CHARS;
static_assert(TEXT_INLINE_CHARS >= 1, "inline room for one character");

// A failed allocation ends the run as operator new would.
char* allocate(char* old, int32_t cap) {
  void* fresh = std::realloc(old, size_t(cap));
  if (fresh == nullptr) throw std::bad_alloc();
  return static_cast<char*>(fresh);
}

#if defined(__SANITIZE_ADDRESS__)
#define TEXT_CHECKED_SLOTS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TEXT_CHECKED_SLOTS 1
#endif
#endif
#ifdef TEXT_CHECKED_SLOTS
#include <sanitizer/asan_interface.h>
constexpr size_t kRedzone = 64;  // an overrun reaches poisoned bytes
void poison(const char* p, size_t n) { ASAN_POISON_MEMORY_REGION(p, n); }
void unpoison(const char* p, size_t n) { ASAN_UNPOISON_MEMORY_REGION(p, n); }
#else
constexpr size_t kRedzone = 0;
void poison(const char*, size_t) {}
void unpoison(const char*, size_t) {}
#endif

// Slots of full capacity, which big texts are made of, come from large
// arenas, so that the kernel can back them with few large pages instead of
// one fault per page, and go back to a free list for the next block. The
// pool outlives every text, the global one included.
class full_slots {
 public:
  static constexpr size_t kArenaBytes = size_t(2) << 20;
  static constexpr size_t kSlotBytes =
      (size_t(TEXT_BLOCK_CHARS) + kRedzone + 15) / 16 * 16;

  char* take() {
    char* s;
    if (!free_list_.empty()) {
      s = free_list_.back();
      free_list_.pop_back();
    } else {
      if (size_t(end_ - next_) < kSlotBytes) {
        size_t bytes = std::max(kArenaBytes, kSlotBytes);
        // A small text keeps to small pages: the first arena is not
        // backed by large ones.
        next_ = static_cast<char*>(text_arena(bytes, arenas_++ > 0));
        if (next_ == nullptr) throw std::bad_alloc();
        end_ = next_ + bytes;
        poison(next_, bytes);
      }
      s = next_;
      next_ += kSlotBytes;
    }
    unpoison(s, size_t(TEXT_BLOCK_CHARS));
    return s;
  }
  void give_back(char* s) {
    free_list_.push_back(s);
    poison(s, size_t(TEXT_BLOCK_CHARS));
  }

 private:
  std::vector<char*> free_list_;
  char* next_ = nullptr;
  char* end_ = nullptr;
  int arenas_ = 0;
};

full_slots& pool() {
  static full_slots* p = new full_slots;  // never destroyed: see above
  return *p;
}

// Whether slots of this capacity come from the pool.
bool pooled(int32_t cap) { return cap == TEXT_BLOCK_CHARS && cap > kLocal; }

void drop_slots(char* heap, int32_t cap) {
  if (pooled(cap))
    pool().give_back(heap);
  else
    std::free(heap);
}

block empty_block() {
  block b;
  b.len = 0;
  b.idx = 0;
  b.cap = kLocal;
  b.gap = 0;
  return b;
}

void release(block& b) {
  if (b.cap > kLocal) drop_slots(b.slots.heap, b.cap);
}

// Gives b room for cap characters (at least its len), keeping them; the
// gap ends up after the last of them.
void set_cap(block& b, int32_t cap) {
  b.move_gap(b.len);
  if (cap <= kLocal) {
    if (b.cap > kLocal) {
      char* heap = b.slots.heap;
      if (b.len > 0) std::memcpy(b.slots.local, heap, size_t(b.len));
      drop_slots(heap, b.cap);
    }
    b.cap = kLocal;
    return;
  }
  if (cap == b.cap) return;
  if (b.cap > kLocal && !pooled(b.cap) && !pooled(cap)) {
    b.slots.heap = allocate(b.slots.heap, cap);
  } else {
    char* heap = pooled(cap) ? pool().take() : allocate(nullptr, cap);
    if (b.len > 0) std::memcpy(heap, b.data(), size_t(b.len));
    if (b.cap > kLocal) drop_slots(b.slots.heap, b.cap);
    b.slots.heap = heap;
  }
  b.cap = cap;
}

// Runs of a few characters, as typing leaves them, cost no library call.
inline void copy_chars(char* to, const char* from, int32_t n) {
  if (n <= 16) {
    for (int32_t i = 0; i < n; ++i) to[i] = from[i];
  } else {
    std::memcpy(to, from, size_t(n));
  }
}

block new_block(int32_t len) {
  block b = empty_block();
  set_cap(b, len);
  b.len = len;
  b.gap = len;
  return b;
}

// Hands back slots that a deletion left unused, keeping room to grow.
void shrink(block& b) {
  if (b.cap <= kLocal) return;
  if (b.len <= kLocal)
    set_cap(b, kLocal);
  else if (b.cap > 64 && b.len < b.cap / 4)
    set_cap(b, b.len * 2);
}

// The editor has one thread: FO's lock is pure cost on Gets of short runs.
// A run that fits goes straight into FO's buffer, as putc_unlocked does for
// one byte: most Gets are a few characters, and fwrite's own steps cost more
// than the copy. The stream keeps its state: where it lacks room (or is line
// buffered, whose write end glibc keeps at the start), fwrite goes on.
void put_run(const char* bytes, int32_t n) {
#if defined(__GLIBC__)
  if (FO->_IO_write_end - FO->_IO_write_ptr >= n) {
    std::memcpy(FO->_IO_write_ptr, bytes, size_t(n));
    FO->_IO_write_ptr += n;
    return;
  }
  fwrite_unlocked(bytes, 1, size_t(n), FO);
#else
  std::fwrite(bytes, 1, size_t(n), FO);
#endif
}

}  // namespace

text::text() {
  chunk* first = new chunk;
  first->n = 1;
  first->chars = 0;
  first->b[0] = empty_block();
  chunks.push_back(first);
}

text::~text() { clear(); }

void text::clear() {
  for (chunk* c : chunks) {
    for (int32_t s = 0; s < c->n; ++s) release(c->b[s]);
    delete c;
  }
  chunks.clear();
  here_start = 0;
  changed_from(0);
}

bool text::step_forward(place& p) const {
  if (p.slot + 1 < chunks[size_t(p.chunk)]->n) {
    ++p.slot;
    return true;
  }
  if (size_t(p.chunk) + 1 < chunks.size()) {
    ++p.chunk;
    p.slot = 0;
    return true;
  }
  return false;
}

// The first block after p that holds a character, and its index. A run of
// empty blocks, however long, is crossed by a search over the chunks' start
// positions, never block by block.
bool text::next_filled(place& p, int32_t& index) {
  if (recall(forward_memo, p, index)) return true;
  const chunk* c = chunks[size_t(p.chunk)];
  for (int32_t s = p.slot + 1; s < c->n; ++s) {
    if (c->b[s].len > 0) {
      index += s - p.slot;
      p.slot = s;
      return true;
    }
  }
  refresh_starts();
  size_t j = size_t(p.chunk);
  int32_t end = start_of(j) + c->chars;  // the position after chunk j
  if (end >= total) return false;
  // The chunk that holds the character at `end`: the last to start there.
  size_t k = chunk_of_position(end);
  const chunk* d = chunks[k];
  int32_t s = 0;
  while (d->b[s].len == 0) ++s;
  forward_memo.edits = edits;
  forward_memo.from = p;
  p = place{int32_t(k), s};
  index = first_of(k) + s;
  forward_memo.to = p;
  forward_memo.to_index = index;
  return true;
}

// The last block before p that holds a character, and its index; the mirror
// of next_filled.
bool text::prev_filled(place& p, int32_t& index) {
  if (recall(back_memo, p, index)) return true;
  const chunk* c = chunks[size_t(p.chunk)];
  for (int32_t s = p.slot - 1; s >= 0; --s) {
    if (c->b[s].len > 0) {
      index -= p.slot - s;
      p.slot = s;
      return true;
    }
  }
  refresh_starts();
  size_t j = size_t(p.chunk);
  int32_t begin = start_of(j);  // characters before chunk j
  if (begin == 0) return false;
  // The chunk that holds the character at begin - 1.
  size_t k = chunk_of_position(begin - 1);
  const chunk* d = chunks[k];
  int32_t s = d->n - 1;
  while (d->b[s].len == 0) --s;
  back_memo.edits = edits;
  back_memo.from = p;
  p = place{int32_t(k), s};
  index = first_of(k) + s;
  back_memo.to = p;
  back_memo.to_index = index;
  return true;
}

namespace {

// Sum of the first k values of a Fenwick tree.
int32_t fenwick_prefix(const std::vector<int32_t>& tree, size_t k) {
  int32_t sum = 0;
  for (size_t i = k; i > 0; i &= i - 1) sum += tree[i];
  return sum;
}

// Adds d to value k (0-based).
void fenwick_add(std::vector<int32_t>& tree, size_t k, int32_t d) {
  for (size_t i = k + 1; i < tree.size(); i += i & (0 - i)) tree[i] += d;
}

// The largest t with prefix(t) <= v; the values are never negative.
size_t fenwick_search(const std::vector<int32_t>& tree, int64_t v) {
  size_t m = tree.size() - 1;
  size_t step = 1;
  while (step * 2 <= m) step *= 2;
  size_t pos = 0;
  for (; step > 0; step /= 2) {
    if (pos + step <= m && tree[pos + step] <= v) {
      pos += step;
      v -= tree[pos];
    }
  }
  return pos;
}

}  // namespace

// Chunks came or went from chunk_index on: the trees are rebuilt when next
// needed.
void text::changed_from(size_t) {
  ++edits;
  fen_valid = false;
}

// Chunk chunk_index gained these blocks and characters; no chunk came or
// went.
void text::counts_changed(size_t chunk_index, int32_t blocks, int32_t chars) {
  ++edits;
  if (!fen_valid) return;
  if (blocks != 0) fenwick_add(fen_blocks, chunk_index, blocks);
  if (chars != 0) fenwick_add(fen_chars, chunk_index, chars);
}

void text::refresh_starts() {
  if (fen_valid) return;
  size_t m = chunks.size();
  fen_blocks.assign(m + 1, 0);
  fen_chars.assign(m + 1, 0);
  for (size_t i = 1; i <= m; ++i) {
    fen_blocks[i] += chunks[i - 1]->n;
    fen_chars[i] += chunks[i - 1]->chars;
    size_t parent = i + (i & (0 - i));
    if (parent <= m) {
      fen_blocks[parent] += fen_blocks[i];
      fen_chars[parent] += fen_chars[i];
    }
  }
  fen_valid = true;
}

int32_t text::first_of(size_t k) const { return fenwick_prefix(fen_blocks, k); }

int32_t text::start_of(size_t k) const { return fenwick_prefix(fen_chars, k); }

size_t text::chunk_of_block(int32_t i) const {
  return std::min(fenwick_search(fen_blocks, i), chunks.size() - 1);
}

size_t text::chunk_of_position(int64_t p) const {
  return std::min(fenwick_search(fen_chars, p), chunks.size() - 1);
}

text::place text::locate(int32_t i) {
  refresh_starts();
  size_t c = chunk_of_block(i);
  return place{int32_t(c), i - first_of(c)};
}

void text::set_len(place p, int32_t len) {
  block& b = at(p);
  int32_t change = len - b.len;
  b.len = len;
  chars_changed(p, change);
}

void text::chars_changed(place p, int32_t change) {
  chunks[size_t(p.chunk)]->chars += change;
  total += change;
  counts_changed(size_t(p.chunk), 0, change);
}

void text::reserve(block& b, int32_t need) {
  if (need <= b.cap) return;
  // Geometric growth keeps typing at the end linear.
  int32_t cap = std::max({need, b.cap + b.cap / 2, int32_t(16)});
  cap = std::min(cap, block_chars);
  set_cap(b, cap);
}

void text::recalc() {
  int32_t index = 0;
  total = 0;
  for (chunk* c : chunks) {
    c->chars = 0;
    for (int32_t s = 0; s < c->n; ++s) {
      c->b[s].idx = index++;
      c->chars += c->b[s].len;
    }
    total += c->chars;
  }
  nblk = index;
  changed_from(0);
  refresh_starts();
}

void text::Move(int32_t p) {
  // Out of range goes to the nearest end instead of outside the tables.
  if (p < 0) p = 0;
  if (p > total) p = total;
  // Typing moves within the cursor's block or to a neighbour: no search. A
  // non-empty block that holds the character at p is the last to start at
  // or before p.
  const chunk* h = chunks[size_t(here.chunk)];
  int32_t rel = p - here_start;
  int32_t len = h->b[here.slot].len;
  if (rel >= 0 && rel < len) {
    off = rel;
    return;
  }
  if (rel == len) {
    if (here.slot + 1 < h->n) {
      if (h->b[here.slot + 1].len > 0) {
        ++here.slot;
        ++cur;
        here_start = p;
        off = 0;
        return;
      }
    } else if (size_t(here.chunk) + 1 == chunks.size()) {
      off = rel;  // the end of the text, in its last block
      return;
    }
  }
  if (rel < 0 && here.slot > 0) {
    int32_t before = h->b[here.slot - 1].len;
    if (rel >= -before) {
      --here.slot;
      --cur;
      here_start -= before;
      off = rel + before;
      return;
    }
  }
  refresh_starts();
  size_t j = chunk_of_position(p);
  const chunk* c = chunks[j];
  int32_t s = start_of(j);
  int32_t slot = 0;
  // The highest block whose start is at most p, walked to from the end of
  // the chunk nearer to p by characters: from its last block when p is its
  // last character or past it, so that empty blocks before that character
  // are not walked one by one.
  if (2 * (p - s) >= c->chars - 1) {
    slot = c->n - 1;
    s += c->chars - c->b[slot].len;
    while (slot > 0 && s > p) {
      --slot;
      s -= c->b[slot].len;
    }
  } else {
    while (slot + 1 < c->n && s + c->b[slot].len <= p) {
      s += c->b[slot].len;
      ++slot;
    }
  }
  here = place{int32_t(j), slot};
  cur = first_of(j) + slot;
  here_start = s;
  off = p - s;
}

char* text::bufchar() {
  if (off == at(here).len) {
    place p = here;
    int32_t i = cur;
    if (!next_filled(p, i)) return nullptr;  // end of text: cursor unchanged
    here_start += off;  // only empty blocks lie between
    here = p;
    cur = i;
    off = 0;
  }
  return at(here).slot(off);
}

void text::Next() {
  if (bufchar() != nullptr) ++off;
}

void text::Prev() {
  if (off == 0) {
    place p = here;
    int32_t i = cur;
    if (!prev_filled(p, i)) return;  // position 0: nothing precedes the cursor
    here = p;
    cur = i;
    off = at(p).len;
    here_start -= off;  // only empty blocks lie between
  }
  --off;
}

void text::Get(int32_t n) {
  place p = here;
  int32_t index = cur;
  int32_t o = off;
  // A short line is gathered first and written in one call with its newline;
  // a long one goes out run by run.
  char line[64];
  int32_t held = 0;
  const bool gather = n < int32_t(sizeof line);
  while (n > 0) {
    const block& b = at(p);
    if (o == b.len) {
      if (!next_filled(p, index)) break;  // the text ended: print what exists
      o = 0;
      continue;
    }
    int32_t run = std::min(n, b.len - o);
    // Up to the gap, then after it: the characters of one side lie together.
    if (o < b.gap) run = std::min(run, b.gap - o);
    if (gather) {
      copy_chars(line + held, b.slot(o), run);
      held += run;
    } else {
      put_run(b.slot(o), run);
    }
    o += run;
    n -= run;
  }
  line[held++] = '\n';
  put_run(line, held);
}

void text::insertblank(int32_t n) {
  if (n <= 0) return;
  for (;;) {
    block& B = at(here);
    int32_t L = B.len;
    int32_t o = off;
    if (n <= block_chars - L) {
      reserve(B, L + n);
      // The new slots are the gap's first ones: overwrite fills them in place.
      B.move_gap(o);
      set_len(here, L + n);
      B.gap = o + n;
      return;
    }
    bool split = o < L;
    int32_t rest = n;
    if (split) rest = block_chars - o >= n ? 0 : n - (block_chars - o);
    int32_t q = rest / block_chars;
    int32_t r = rest % block_chars;
    int32_t k = (split ? 1 : 0) + q + (r > 0 ? 1 : 0);
    if (k > limit - nblk) {
      // The table is full: pack the text tight and place the gap again.
      repack(n);
      continue;
    }
    chunk* c = chunks[size_t(here.chunk)];
    if (k == 1 && split && rest == 0 && c->n < kChunk && o + n <= B.cap) {
      split_in_place(B, c, L, o, n);
      return;
    }
    staged.clear();
    for (int32_t i = 0; i < q; ++i) staged.push_back(new_block(block_chars));
    if (r > 0) staged.push_back(new_block(r));
    if (split) {
      block tail = new_block(L - o);
      B.move_gap(o);  // the characters after o now lie together at the end
      std::memcpy(tail.data(), B.data() + o + (B.cap - L), size_t(L - o));
      staged.push_back(tail);
      int32_t filled = rest == 0 ? o + n : block_chars;
      B.len = o;  // what stays in B lies before the gap
      reserve(B, filled);
      B.len = filled;
      B.gap = filled;
      chars_changed(here, filled - L);
      shrink(B);
    }
    here = insert_after(here, staged.data(), k);
    return;
  }
}

// Typing before the last characters of a full block: the gap fits in B's
// slots once the characters after the cursor go to a tail, which is written
// straight into the record after B, in B's chunk, which has room for it.
void text::split_in_place(block& B, chunk* c, int32_t L, int32_t o,
                          int32_t n) {
  int32_t moved = L - o;
  block T;
  T.len = moved;
  T.idx = 0;
  T.gap = moved;
  if (moved > kLocal) {
    T.cap = moved;
    T.slots.heap = allocate(nullptr, moved);
  } else {
    T.cap = kLocal;
  }
  B.move_gap(o);  // the characters after o now lie together at the end
  copy_chars(T.data(), B.data() + o + (B.cap - L), moved);
  int32_t slot = here.slot;
  *open_records(c, slot + 1, 1) = T;  // B's record may have moved
  ++nblk;
  block& K = c->b[slot];
  K.len = o + n;
  K.gap = o + n;
  // The tail's characters were B's: the text grew by the gap alone.
  c->chars += n;
  total += n;
  counts_changed(size_t(here.chunk), 1, n);
  shrink(K);
}

namespace {

// Moves count records, which may overlap. The one to four that typing moves
// are loaded, then stored, inline: the library call would cost more than
// the move (and the compiler does not inline a memmove).
inline void move_records(block* to, const block* from, int32_t count) {
  switch (count) {
    case 0:
      return;
    case 1: {
      block a = from[0];
      to[0] = a;
      return;
    }
    case 2: {
      block a = from[0], b = from[1];
      to[0] = a;
      to[1] = b;
      return;
    }
    case 3: {
      block a = from[0], b = from[1], c = from[2];
      to[0] = a;
      to[1] = b;
      to[2] = c;
      return;
    }
    case 4: {
      block a = from[0], b = from[1], c = from[2], d = from[3];
      to[0] = a;
      to[1] = b;
      to[2] = c;
      to[3] = d;
      return;
    }
    default:
      std::memmove(to, from, size_t(count) * sizeof(block));
  }
}

}  // namespace

// Opens k records at index s of chunk c, which has room for them, by moving
// the records before s or those after it, whichever are fewer; returns the
// first of the new ones.
block* text::open_records(chunk* c, int32_t s, int32_t k) {
  bool front = s < c->n - s;
  if ((front ? c->room_before() : c->room_after()) < k) {
    // That side is out of room: all of it goes there in one move, so that
    // typing at one place pays for this once per chunk's worth of records.
    block* to = front ? c->store + (kChunk - c->n) : c->store;
    std::memmove(to, c->b, size_t(c->n) * sizeof(block));
    c->b = to;
  }
  if (front) {
    move_records(c->b - k, c->b, s);
    c->b -= k;
  } else {
    move_records(c->b + s + k, c->b + s, c->n - s);
  }
  c->n += k;
  return c->b + s;
}

text::place text::insert_after(place p, const block* fresh, int32_t k) {
  int32_t added = 0;
  for (int32_t i = 0; i < k; ++i) added += fresh[i].len;
  nblk += k;
  total += added;
  chunk* c = chunks[size_t(p.chunk)];
  if (c->n + k <= kChunk) {
    std::memcpy(open_records(c, p.slot + 1, k), fresh,
                size_t(k) * sizeof(block));
    c->chars += added;
    counts_changed(size_t(p.chunk), k, added);
    return p;
  }
  scratch.assign(c->b, c->b + p.slot + 1);
  scratch.insert(scratch.end(), fresh, fresh + k);
  scratch.insert(scratch.end(), c->b + p.slot + 1, c->b + c->n);
  size_t count = scratch.size();
  // Typing goes on next to the new records: cut beside them so that they
  // lie in the smaller part, at its edge, with a chunk's worth of room on
  // that side, not half of one. When that cannot be done (the part would be
  // too full), as few chunks as hold everything, evenly filled.
  size_t edit = size_t(p.slot) + 1;
  size_t cut = edit + size_t(k) <= count / 2 ? edit + size_t(k) : edit;
  enum { even, edit_last, edit_first } shape =
      cut > size_t(kChunk) || count - cut > size_t(kChunk) || cut == 0 ||
              cut == count
          ? even
          : cut == edit ? edit_first : edit_last;
  size_t parts =
      shape != even ? 2 : (count + size_t(kChunk) - 1) / size_t(kChunk);
  size_t base = count / parts;
  size_t extra = count % parts;
  std::vector<chunk*> added_chunks;
  place moved = p;
  size_t from = 0;
  for (size_t part = 0; part < parts; ++part) {
    size_t take = shape != even ? (part == 0 ? cut : count - cut)
                                : base + (part < extra ? 1 : 0);
    chunk* d = part == 0 ? c : new chunk;
    d->n = int32_t(take);
    // The room goes where the next records will come: beside the new ones,
    // or on both sides.
    size_t room = size_t(kChunk) - take;
    if (shape == edit_last && part == 0)
      d->b = d->store;
    else if (shape == edit_first && part == 1)
      d->b = d->store + room;
    else
      d->b = d->store + room / 2;
    // Counted from scratch, in a local: a store to a record may alias the
    // chunk's count, which would go through memory once a record.
    std::memcpy(d->b, scratch.data() + from, take * sizeof(block));
    int32_t chars = 0;
    for (size_t s = 0; s < take; ++s) chars += scratch[from + s].len;
    d->chars = chars;
    size_t slot = size_t(p.slot);
    if (slot >= from && slot < from + take)
      moved = place{p.chunk + int32_t(part), int32_t(slot - from)};
    if (part > 0) added_chunks.push_back(d);
    from += take;
  }
  chunks.insert(chunks.begin() + p.chunk + 1, added_chunks.begin(),
                added_chunks.end());
  changed_from(size_t(p.chunk) + 1);
  return moved;
}

void text::overwrite(int32_t n) {
  place p = here;
  int32_t index = cur;
  int32_t o = off;
  while (n > 0) {
    block& b = at(p);
    if (o == b.len) {
      if (!next_filled(p, index)) break;
      o = 0;
      continue;
    }
    int32_t run = std::min(n, b.len - o);
    // Right after insertblank these slots lie before the gap, in place.
    read_text(b.data() + o, run);
    o += run;
    n -= run;
  }
}

void text::Insert(int32_t n) {
  if (n <= 0) return;
  // Typing: one character into a block with a free slot is insertblank's
  // first case and overwrite's one step, done at once.
  if (n == 1 && total < max_chars) {
    block& B = at(here);
    if (B.len < B.cap && B.len < block_chars) {
      B.move_gap(off);
      read_text(B.data() + off, 1);
      ++B.len;
      ++B.gap;
      chars_changed(here, 1);
      return;
    }
    // Typing inside a full block: insertblank's split beside the cursor and
    // overwrite's one step, done at once.
    int32_t L = B.len;
    if (L == block_chars && off < L && off + 1 <= B.cap && nblk < limit) {
      chunk* c = chunks[size_t(here.chunk)];
      if (c->n < kChunk) {
        split_in_place(B, c, L, off, 1);
        read_text(at(here).data() + off, 1);  // B's record may have moved
        return;
      }
    }
  }
  // Positions are 32-bit: characters past the limit are read and dropped.
  int32_t fit = std::min(n, max_chars - total);
  if (fit > 0) {
    insertblank(fit);
    overwrite(fit);
  }
  if (fit < n) skip_text(n - fit);
}

void text::Delete(int32_t n) {
  if (n <= 0) return;
  block& B = at(here);
  int32_t L = B.len;
  int32_t o = off;
  if (o < L) {
    if (n <= L - o) {
      // The gap takes the deleted characters in, from whichever of its ends
      // is nearer.
      if (std::abs(o + n - B.gap) < std::abs(o - B.gap)) {
        B.move_gap(o + n);
        B.gap = o;
      } else {
        B.move_gap(o);
      }
      set_len(here, L - n);
      shrink(B);
      return;
    }
    n -= L - o;
    B.move_gap(o);
    set_len(here, o);
    shrink(B);
  }
  place p = here;
  int32_t first_index = cur;
  if (!next_filled(p, first_index)) return;  // nothing followed: at the end
  place first = p;
  bool to_end = false;
  while (at(p).len <= n) {
    n -= at(p).len;
    if (!step_forward(p)) {
      to_end = true;  // a count past the end stops at the end
      break;
    }
  }
  if (!to_end && n > 0) {
    block& E = at(p);
    E.move_gap(n);
    E.gap = 0;  // the gap swallows the first n characters
    set_len(p, E.len - n);
    shrink(E);
  }
  int32_t at_position = here_start + off;
  remove_range(first, p, to_end);
  if (to_end) {
    cur = nblk - 1;
    here = locate(cur);
    off = at(here).len;
    here_start = total - off;
  } else {
    cur = first_index;
    here = locate(cur);
    off = 0;
    here_start = at_position;
  }
}

void text::remove_range(place first, place last, bool to_end) {
  if (to_end) last = place{int32_t(chunks.size()), 0};
  size_t a = size_t(first.chunk);
  size_t z = size_t(last.chunk);
  if (a == z && first.slot == last.slot) return;
  for (size_t ci = a; ci <= z && ci < chunks.size(); ++ci) {
    chunk* c = chunks[ci];
    int32_t from = ci == a ? first.slot : 0;
    int32_t to = ci == z ? last.slot : c->n;
    for (int32_t s = from; s < to; ++s) {
      release(c->b[s]);
      c->chars -= c->b[s].len;
      total -= c->b[s].len;
      --nblk;
    }
    // The fewer records move: those before the range or those after it.
    if (from < c->n - to) {
      std::memmove(c->b + (to - from), c->b, size_t(from) * sizeof(block));
      c->b += to - from;
    } else {
      std::memmove(c->b + from, c->b + to, size_t(c->n - to) * sizeof(block));
    }
    c->n -= to - from;
  }
  size_t gone_to = std::min(z, chunks.size());
  for (size_t ci = a + 1; ci < gone_to; ++ci) delete chunks[ci];
  if (a + 1 < gone_to)
    chunks.erase(chunks.begin() + std::ptrdiff_t(a) + 1,
                 chunks.begin() + std::ptrdiff_t(gone_to));
  changed_from(a + 1);
  if (chunks[a]->n == 0) {
    // The block before the range survives, so the table never empties.
    delete chunks[a];
    chunks.erase(chunks.begin() + std::ptrdiff_t(a));
    changed_from(a);
    if (a > 0) --a;
  }
  merge_at(a);
  if (a > 0) merge_at(a - 1);
}

void text::merge_at(size_t i) {
  if (i + 1 >= chunks.size()) return;
  chunk* c = chunks[i];
  chunk* next = chunks[i + 1];
  // Only well below a full chunk: a merge that the next insert would split
  // again makes every edit at a chunk boundary pay for both.
  if (c->n + next->n > kChunk * 3 / 4) return;
  if (c->room_after() < next->n) {
    std::memmove(c->store, c->b, size_t(c->n) * sizeof(block));
    c->b = c->store;
  }
  std::memcpy(c->b + c->n, next->b, size_t(next->n) * sizeof(block));
  c->n += next->n;
  c->chars += next->chars;
  delete next;
  chunks.erase(chunks.begin() + std::ptrdiff_t(i) + 1);
  changed_from(i + 1);
}

void text::repack(int32_t pending) {
  int32_t p = position();
  std::vector<chunk*> old;
  old.swap(chunks);
  changed_from(0);
  nblk = 0;
  block out = empty_block();
  // The old text's chunks serve the new one as they come free, as its
  // full-size slots do through their pool.
  std::vector<chunk*> spare_chunks;
  auto emit = [&] {
    if (chunks.empty() || chunks.back()->n == kChunk) {
      chunk* c;
      if (spare_chunks.empty()) {
        c = new chunk;
      } else {
        c = spare_chunks.back();
        spare_chunks.pop_back();
      }
      c->n = 0;
      c->chars = 0;
      c->b = c->store;
      chunks.push_back(c);
    }
    chunk* c = chunks.back();
    c->b[c->n++] = out;
    c->chars += out.len;
    ++nblk;
  };
  // Each old block is freed once copied, so the text is held about once.
  for (chunk* c : old) {
    for (int32_t s = 0; s < c->n; ++s) {
      const block& b = c->b[s];
      if (out.len == 0 && out.cap <= kLocal && b.len == block_chars) {
        out = b;  // a full block at a block boundary stays as it is
        emit();
        out = empty_block();
        continue;
      }
      int32_t done = 0;
      while (done < b.len) {
        if (out.len == block_chars) {
          emit();
          out = empty_block();
        }
        if (out.cap < block_chars) set_cap(out, block_chars);
        int32_t run = std::min(b.len - done, block_chars - out.len);
        if (done < b.gap) run = std::min(run, b.gap - done);
        copy_chars(out.data() + out.len, b.slot(done), run);
        out.len += run;
        out.gap = out.len;
        done += run;
      }
      release(c->b[s]);
    }
    spare_chunks.push_back(c);
  }
  if (out.len > 0 || chunks.empty()) {
    set_cap(out, out.len);
    emit();
  }
  for (chunk* c : spare_chunks) delete c;
  limit = repacked_limit(limit, nblk, pending, block_chars);
  here = place{0, 0};
  cur = 0;
  here_start = 0;
  Move(p);
}

int32_t text::position() {
  place p = locate(cur);
  int32_t s = start_of(size_t(p.chunk));
  for (int32_t k = 0; k < p.slot; ++k) s += at(place{p.chunk, k}).len;
  return s + off;
}

block text::make_block(int32_t len) { return new_block(len); }
