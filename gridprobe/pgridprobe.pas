{ pgridprobe: the grader unit for Pascal contestants, twin of cgridprobe. }
unit pgridprobe;

interface

{ The grid size N; free, any number of times. }
function gridsize: longint;

{ 1 if rows r1..r2 by columns c1..c2 meet a rod, else 0; at most 400 calls. }
function rect(r1, r2, c1, c2: longint): smallint;

{ The answer: rod 1 as a1..a4, rod 2 as a5..a8; ends the program. }
procedure report(a1, a2, a3, a4, a5, a6, a7, a8: longint);

implementation

uses
  BaseUnix;

const
  { Each limit written once. }
  max_rect_calls = 400;
  min_n = 5;
  max_n = 10000;

  errmsg: array[0..9] of shortstring = (
    'Cannot open the input file.',
    'Invalid input file.',
    'N is out of range. (should be 5~10000)',
    'One of the coordinates is out of range.',
    'ROD1 is not valid.',
    'ROD2 is not valid.',
    'Cannot create the log file.',
    'Invalid library function call.',
    'Too many rect() calls.',
    'No rect() call.');

var
  gridprobe_initialized: longint;
  count: longint;
  N: longint;
  sr1, sc1, sr2, sc2: longint;
  sp1, sq1, sp2, sq2: longint;
  lgfile: text;
  oufile: text;

{ A file opened while 0, 1 or 2 is closed would take that number, and Input,
  Output or StdErr would reach it: hold each free one on /dev/null. }
procedure keep_standard_descriptors;
var
  fd, held: cint;
begin
  for fd := 0 to 2 do
    if (fpFcntl(fd, F_GETFD) = -1) and (fpgeterrno = ESysEBADF) then
    begin
      held := fpOpen('/dev/null', O_RDWR);
      if (held >= 0) and (held <> fd) then
        fpClose(held);
    end;
end;

procedure erroroutput(index: smallint);
var
  f: text;
begin
  keep_standard_descriptors;
  {$I+}
  Assign(f, 'rods.out');
  Rewrite(f);
  { A single LF, whatever line-break default the calling program set. }
  SetTextLineEnding(f, #10);
  WriteLn(Output, errmsg[index]);
  WriteLn(f, 0);
  WriteLn(f, errmsg[index]);
  Close(f);
end;

procedure fail(index: smallint);
begin
  erroroutput(index);
  Halt(0);
end;

{ The next byte of f, or -1 at its end or on a read error. }
function next_char(var f: text): longint;
var
  ch: char;
  at_end: boolean;
begin
  next_char := -1;
  {$I-}
  at_end := Eof(f);
  if (IOResult <> 0) or at_end then
    exit;
  Read(f, ch);
  if IOResult <> 0 then
    exit;
  {$I+}
  next_char := Ord(ch);
end;

{ One number as C's "%d" reads it: blanks as C's isspace knows them (so not
  NUL), a sign, digits, of any length. ahead holds the byte after the last one
  taken. Kept whole up to 64 bits and pinned beyond, so a number too wide for
  a longint reads as out of range instead of wrapping into range. }
function read_number(var f: text; var ahead: longint;
                     var value: int64): boolean;
var
  negative, overflow, any_digit: boolean;
  magnitude: int64;
  digit: longint;
begin
  read_number := false;
  while (ahead = 32) or ((ahead >= 9) and (ahead <= 13)) do
    ahead := next_char(f);
  negative := ahead = Ord('-');
  if negative or (ahead = Ord('+')) then
    ahead := next_char(f);
  overflow := false;
  any_digit := false;
  magnitude := 0;
  while (ahead >= Ord('0')) and (ahead <= Ord('9')) do
  begin
    digit := ahead - Ord('0');
    if magnitude > (high(int64) - digit) div 10 then
      overflow := true
    else
      magnitude := magnitude * 10 + digit;
    any_digit := true;
    ahead := next_char(f);
  end;
  if not any_digit then
    exit;
  if overflow then
    magnitude := high(int64);
  if negative then
    value := -magnitude
  else
    value := magnitude;
  read_number := true;
end;

procedure init;
var
  infile: text;
  ahead: longint;
  wide_n: int64;
  w: array[1..8] of int64;
  i: longint;
begin
  if gridprobe_initialized <> 0 then
    exit;
  gridprobe_initialized := 1;
  count := 0;
  keep_standard_descriptors;
  Assign(infile, 'rods.in');
  {$I-}
  Reset(infile);
  {$I+}
  if IOResult <> 0 then
    fail(0);
  { Our own scanner: Read cuts a number past 255 characters and skips NUL. }
  ahead := next_char(infile);
  if not read_number(infile, ahead, wide_n) then
    fail(1);
  if (wide_n < min_n) or (wide_n > max_n) then
    fail(2);
  for i := 1 to 8 do
    if not read_number(infile, ahead, w[i]) then
      fail(1);
  for i := 1 to 8 do
    if (w[i] < 1) or (w[i] > wide_n) then
      fail(3);
  N := longint(wide_n);
  sr1 := longint(w[1]); sc1 := longint(w[2]);
  sr2 := longint(w[3]); sc2 := longint(w[4]);
  sp1 := longint(w[5]); sq1 := longint(w[6]);
  sp2 := longint(w[7]); sq2 := longint(w[8]);
  if (sc1 >= sc2) or (sr1 <> sr2) then
    fail(4);
  if (sp1 >= sp2) or (sq1 <> sq2) then
    fail(5);
  {$I+}
  Close(infile);
  Assign(lgfile, 'rods.log');
  {$I-}
  Rewrite(lgfile);
  {$I+}
  if IOResult <> 0 then
    fail(6);
  SetTextLineEnding(lgfile, #10);
end;

function gridsize: longint;
var
  caller_io_error: word;
begin
  { A caller's unchecked I/O error would skip or stop ours: hold it aside. }
  caller_io_error := InOutRes;
  InOutRes := 0;
  if gridprobe_initialized = 0 then
    init;
  {$I+}
  WriteLn(lgfile, 'gridsize() = ', N);
  { Each transcript line reaches the file at once: a crash must not lose it. }
  Flush(lgfile);
  gridsize := N;
  InOutRes := caller_io_error;
end;

{ Ends a refused rect call: message on its log line, log closed, verdict. }
procedure refuse(index: smallint);
begin
  {$I+}
  WriteLn(lgfile, errmsg[index]);
  Close(lgfile);
  fail(index);
end;

function rect(r1, r2, c1, c2: longint): smallint;
var
  answer: smallint;
  caller_io_error: word;
begin
  { A caller's unchecked I/O error would skip or stop ours: hold it aside. }
  caller_io_error := InOutRes;
  InOutRes := 0;
  if gridprobe_initialized = 0 then
    init;
  count := count + 1;
  {$I+}
  Write(lgfile, count, ' : rect (', r1, ',', r2, ',', c1, ',', c2, ') = ');
  if (r1 < 1) or (r1 > N) or (r2 < 1) or (r2 > N) or (c1 < 1) or (c1 > N) or
     (c2 < 1) or (c2 > N) or (r1 > r2) or (c1 > c2) then
    refuse(7);
  if count > max_rect_calls then
    refuse(8);
  if (sr2 >= r1) and (sr1 <= r2) and (sc2 >= c1) and (sc1 <= c2) then
    answer := 1
  else if (sp2 >= r1) and (sp1 <= r2) and (sq2 >= c1) and (sq1 <= c2) then
    answer := 1
  else
    answer := 0;
  WriteLn(lgfile, answer);
  Flush(lgfile);
  rect := answer;
  InOutRes := caller_io_error;
end;

procedure report(a1, a2, a3, a4, a5, a6, a7, a8: longint);
begin
  { A caller's unchecked I/O error would skip or stop ours; the run ends here. }
  InOutRes := 0;
  if gridprobe_initialized = 0 then
    init;
  {$I+}
  WriteLn(lgfile, 'report (', a1, ',', a2, ',', a3, ',', a4, ',', a5, ',', a6,
          ',', a7, ',', a8, ')');
  Close(lgfile);
  if count = 0 then
    fail(9);
  keep_standard_descriptors;
  Assign(oufile, 'rods.out');
  Rewrite(oufile);
  SetTextLineEnding(oufile, #10);
  WriteLn(oufile, count);
  WriteLn(oufile, a1, ' ', a2, ' ', a3, ' ', a4);
  WriteLn(oufile, a5, ' ', a6, ' ', a7, ' ', a8);
  Close(oufile);
  Halt(0);
end;

{ The initialization part, in the form every compiler mode accepts. }
begin
  gridprobe_initialized := 0;
end.
