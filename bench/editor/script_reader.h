// script_reader.h: the one fast editor.in reader that every baseline shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace editor_bench {

// Reads a whole file into out; false with errno set when it cannot.
bool load_file(const char* path, std::string& out);

// Windows text mode: CR LF reads as LF, a lone CR is a byte, byte 26 ends
// input.
void text_mode_filter(std::string& buf);

// Output collected in one big buffer; goes to fd, or to sink when fd < 0.
class out_buffer {
 public:
  explicit out_buffer(int fd, std::string* sink = nullptr);
  // Room for n bytes at the returned address; commit() what was written.
  char* room(size_t n);
  void commit(size_t n) { used_ += n; }
  void put(const char* p, size_t n);
  void put_char(char c) {
    if (used_ == buf_.size()) flush();
    buf_[used_++] = c;
  }
  // False (errno set) when a write failed; the failure is sticky.
  bool flush();
  bool failed() const { return failed_; }

 private:
  int fd_;
  std::string* sink_;
  std::vector<char> buf_;
  size_t used_ = 0;
  bool failed_ = false;
};

// Where one command stood in the filtered script: for diagnosing mismatches.
struct command_mark {
  size_t word_at;  // offset of the command word
  size_t end_at;   // offset just past what the command consumed
};

// The script as glibc's fscanf "%s %d" and Getchar see it.
class script_reader {
 public:
  script_reader(const char* data, size_t size)
      : p_(reinterpret_cast<const unsigned char*>(data)),
        begin_(p_),
        end_(p_ + size) {}

  // "%d": false when no number converts (white space and a lone sign are
  // consumed anyway); out of range values wrap as glibc's long-to-int store.
  bool read_int(int32_t& value);
  // "%s" that keeps only the first byte of a word of any length.
  bool read_word(unsigned char& first);
  // The " " directive of "%s %d".
  void skip_space() {
    while (p_ < end_ && is_space(*p_)) ++p_;
  }
  // Insert text: the next n bytes that are not LF; missing ones are 255.
  // Returns how many were there.
  size_t read_text(char* dst, size_t n);
  size_t offset() const { return static_cast<size_t>(p_ - begin_); }

  static bool is_space(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
  }

 private:
  const unsigned char* p_;
  const unsigned char* begin_;
  const unsigned char* end_;
};

// The command loop: stops at the end of input; D, G, I, M without a number do
// nothing. An editor class has Move, Next, Prev, Get(n, out), Insert(chars, n)
// and Delete, clamping bad positions and counts to the text. limit caps the
// commands run; marks records where each one stood.
template <class Editor>
void run_commands(script_reader& in, Editor& ed, out_buffer& out,
                  int64_t limit = INT64_MAX,
                  std::vector<command_mark>* marks = nullptr) {
  int32_t tn = 0;
  if (!in.read_int(tn)) tn = 0;
  std::vector<char> scratch;
  for (int64_t ti = 0; ti < tn && ti < limit; ++ti) {
    unsigned char word = 0;
    in.skip_space();
    size_t word_at = in.offset();
    // End of input: no further command word, the loop stops.
    if (!in.read_word(word)) break;
    in.skip_space();
    int32_t number = 0;
    bool have = in.read_int(number);
    switch (word) {
      case 'D':
        if (have) ed.Delete(number);
        break;
      case 'G':
        if (have) ed.Get(number, out);
        break;
      case 'I':
        if (have && number > 0) {
          size_t n = static_cast<size_t>(number);
          if (scratch.size() < n) scratch.resize(n);
          in.read_text(scratch.data(), n);
          ed.Insert(scratch.data(), number);
        }
        break;
      case 'M':
        if (have) ed.Move(number);
        break;
      case 'N':
        ed.Next();
        break;
      case 'P':
        ed.Prev();
        break;
      default:
        break;
    }
    if (marks) marks->push_back({word_at, in.offset()});
  }
}

// Opens editor.in then editor.out in the current directory, filters the
// script, calls run, flushes; the exit status (1 after a report).
int run_files(void (*run)(script_reader&, out_buffer&));

// main() of a baseline.
template <class Editor>
int run_program() {
  return run_files([](script_reader& in, out_buffer& out) {
    static Editor ed;  // lives to the end like the editor's global text
    run_commands(in, ed, out);
  });
}

}  // namespace editor_bench
