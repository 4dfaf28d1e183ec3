// text.h: the editor's block text buffer, class text, and its limits.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#ifndef TEXT_BLOCK_CHARS
#define TEXT_BLOCK_CHARS 4088  // a 4096-byte block less its two header words
#endif
#ifndef TEXT_MAX_BLOCKS
#define TEXT_MAX_BLOCKS 8612  // table entries; a full table repacks, then grows
#endif
#ifndef TEXT_CHUNK_BLOCKS
#define TEXT_CHUNK_BLOCKS 32  // block records per chunk of the block table
#endif
#ifndef TEXT_MAX_CHARS
#define TEXT_MAX_CHARS 2147483647  // positions are 32-bit signed
#endif

#ifndef TEXT_INLINE_CHARS
#define TEXT_INLINE_CHARS 8  // a block this small keeps its characters inline
#endif

// The block table's limit after a repack that left `blocks` blocks with
// `pending` characters still to place: doubled until half the table is free,
// so that repacks, each a pass over the whole text, stay rare.
inline int32_t repacked_limit(int32_t limit, int32_t blocks, int32_t pending,
                              int32_t block_chars) {
  while (blocks + pending / block_chars + 2 > limit / 2 &&
         limit <= INT32_MAX / 2)
    limit *= 2;
  return limit;
}

// Memory for the text's full-size blocks, in large pieces that the kernel
// may back with large pages when asked; null when there is none. From the
// editor's platform layer.
void* text_arena(size_t bytes, bool large_pages);

// One block of text. Its slots are allocated by what it holds, up to the
// logical capacity TEXT_BLOCK_CHARS; the smallest sit in the record itself.
// The slots are a small gap buffer: characters 0 to gap-1 fill the first
// slots, characters gap to len-1 the last ones, so that an edit moves only
// the characters between the last edit and this one.
struct block {
  int32_t len;  // characters in use
  int32_t idx;  // written by recalc() only: nothing reads it on the edit path
  int32_t cap;  // slots at data(); up to TEXT_INLINE_CHARS they are inline
  int32_t gap;  // characters before the gap, 0 to len
  union {
    char* heap;
    char local[TEXT_INLINE_CHARS];
  } slots;

  char* data() { return cap > TEXT_INLINE_CHARS ? slots.heap : slots.local; }
  const char* data() const {
    return cap > TEXT_INLINE_CHARS ? slots.heap : slots.local;
  }
  // The slot of character i (0 <= i < len).
  char* slot(int32_t i) { return data() + (i < gap ? i : i + (cap - len)); }
  const char* slot(int32_t i) const {
    return data() + (i < gap ? i : i + (cap - len));
  }
  // Brings the gap to offset o, moving the characters between.
  void move_gap(int32_t o) {
    int32_t free_slots = cap - len;
    if (free_slots != 0) {
      char* d = data();
      if (o < gap)
        std::memmove(d + o + free_slots, d + o, size_t(gap - o));
      else if (o > gap)
        std::memmove(d + gap, d + gap + free_slots, size_t(o - gap));
    }
    gap = o;
  }
};

// The text as a sequence of blocks, the start position of each, and a cursor.
// The block table is held in chunks, and start positions are kept per chunk
// and brought up to date lazily from the first chunk that changed, so that an
// edit near the cursor costs no pass over the whole table.
class text {
 public:
  static constexpr int32_t block_chars = TEXT_BLOCK_CHARS;
  static constexpr int32_t max_chars = TEXT_MAX_CHARS;

  text();
  ~text();
  text(const text&) = delete;
  text& operator=(const text&) = delete;

  // The operations a script names.
  void Move(int32_t p);
  void Next();
  void Prev();
  void Get(int32_t n);
  void Insert(int32_t n);
  void Delete(int32_t n);

 private:
  friend struct text_probe;  // the tests' view of the layout

  void recalc();    // rebuilds every start, idx and total from the lengths
  char* bufchar();  // the cursor's character, past exhausted blocks
  void insertblank(int32_t n);  // opens n slots at the cursor
  void overwrite(int32_t n);    // fills n slots from the script

  int32_t nblk = 1;   // blocks in the text
  int32_t cur = 0;    // index of the cursor's block
  int32_t off = 0;    // the cursor's offset in that block
  int32_t total = 0;  // characters in the text

  // A chunk's records lie together anywhere in its slots, so that a record
  // added next to the cursor moves the fewer records, those before it or
  // those after it: typing at one place moves almost none.
  struct chunk {
    int32_t n;      // block records in use
    int32_t chars;  // characters in those blocks
    block* b = store;  // the first record in use; b + n <= store + capacity
    block store[TEXT_CHUNK_BLOCKS];

    chunk() = default;
    chunk(const chunk&) = delete;  // b points into the chunk itself
    chunk& operator=(const chunk&) = delete;
    int32_t room_before() const { return int32_t(b - store); }
    int32_t room_after() const {
      return TEXT_CHUNK_BLOCKS - room_before() - n;
    }
  };
  struct place {
    int32_t chunk;
    int32_t slot;
  };

  block& at(place p) { return chunks[size_t(p.chunk)]->b[p.slot]; }
  const block& at(place p) const { return chunks[size_t(p.chunk)]->b[p.slot]; }
  bool step_forward(place& p) const;
  bool next_filled(place& p, int32_t& index);
  bool prev_filled(place& p, int32_t& index);
  place locate(int32_t i);
  void refresh_starts();
  void changed_from(size_t chunk_index);
  void counts_changed(size_t chunk_index, int32_t blocks, int32_t chars);
  // After refresh_starts: the index of chunk k's first block, the text
  // position of its first character, and the last chunk whose first block is
  // at most i, or whose start is at most p. Each takes O(log chunks) steps.
  int32_t first_of(size_t k) const;
  int32_t start_of(size_t k) const;
  size_t chunk_of_block(int32_t i) const;
  size_t chunk_of_position(int64_t p) const;
  void set_len(place p, int32_t len);
  void chars_changed(place p, int32_t change);
  void reserve(block& b, int32_t need);
  place insert_after(place p, const block* fresh, int32_t k);
  void split_in_place(block& B, chunk* c, int32_t L, int32_t o, int32_t n);
  static block* open_records(chunk* c, int32_t s, int32_t k);
  void remove_range(place first, place last, bool to_end);
  void merge_at(size_t i);
  void repack(int32_t pending);
  void clear();
  int32_t position();
  static block make_block(int32_t len);

  std::vector<chunk*> chunks;
  // Per chunk, its block count and its characters, each in a Fenwick tree
  // (1-based), so that a chunk's start and the chunk holding a block or a
  // position cost O(log chunks). An edit that keeps the chunks updates them
  // in O(log chunks); one that adds or removes chunks has them rebuilt once,
  // when next needed.
  std::vector<int32_t> fen_blocks;
  std::vector<int32_t> fen_chars;
  bool fen_valid = false;
  // The last crossing in each direction, good until the blocks change: a
  // cursor that steps back and forth over one run crosses it in O(1).
  struct crossing {
    uint64_t edits = ~uint64_t(0);
    place from{0, 0};
    place to{0, 0};
    int32_t to_index = 0;
  };
  uint64_t edits = 0;  // counts changes to the blocks' lengths or places
  crossing forward_memo, back_memo;
  bool recall(const crossing& m, place& p, int32_t& index) const {
    if (m.edits != edits || m.from.chunk != p.chunk || m.from.slot != p.slot)
      return false;
    p = m.to;
    index = m.to_index;
    return true;
  }

  place here{0, 0};  // the chunk and slot of block cur
  int32_t here_start = 0;  // text position of block cur's first character
  int32_t limit = TEXT_MAX_BLOCKS;
  std::vector<block> staged;   // blocks that insertblank is about to add
  std::vector<block> scratch;  // records of a chunk being split
};
