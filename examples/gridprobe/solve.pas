{ solve: a Pascal contestant program; finds both rods in under 200 queries. }
program solve;

uses
  pgridprobe;

type
  tpred = function(x: longint): boolean;

var
  n, top, bottom, row, col: longint;
  first, lo1, hi1, lo2, hi2, i, j, a, b, p, q: longint;
  crossing, usable, owned: boolean;

{ An empty range meets nothing and must not reach rect, which refuses it. }
function ask(r1, r2, c1, c2: longint): boolean;
begin
  ask := (r1 <= r2) and (c1 <= c2) and (rect(r1, r2, c1, c2) = 1);
end;

function min(x, y: longint): longint;
begin
  if x < y then min := x else min := y;
end;

function max(x, y: longint): longint;
begin
  if x > y then max := x else max := y;
end;

{ Smallest x in lo..hi where pred turns true; pred(hi) is known true. }
function first_true(lo, hi: longint; pred: tpred): longint;
var
  mid: longint;
begin
  while lo < hi do
  begin
    mid := lo + (hi - lo) div 2;
    if pred(mid) then hi := mid else lo := mid + 1;
  end;
  first_true := lo;
end;

{ Largest x in lo..hi where pred is still true; pred(lo) is known true. }
function last_true(lo, hi: longint; pred: tpred): longint;
var
  mid: longint;
begin
  while lo < hi do
  begin
    mid := lo + (hi - lo + 1) div 2;
    if pred(mid) then lo := mid else hi := mid - 1;
  end;
  last_true := lo;
end;

function rows_to(x: longint): boolean;
begin rows_to := ask(1, x, 1, n); end;

function rows_from(x: longint): boolean;
begin rows_from := ask(x, n, 1, n); end;

function top_row_to(x: longint): boolean;
begin top_row_to := ask(top, top, 1, x); end;

function bottom_row_to(x: longint): boolean;
begin bottom_row_to := ask(bottom, bottom, 1, x); end;

{ Rod 2 lies in column col only, so any other cell belongs to rod 1. }
function off_col_rows_to(x: longint): boolean;
begin
  off_col_rows_to := ask(1, x, 1, col - 1) or ask(1, x, col + 1, n);
end;

function off_col_to(x: longint): boolean;
begin
  off_col_to := ask(row, row, 1, min(x, col - 1)) or
                ((x > col) and ask(row, row, col + 1, x));
end;

function off_col_from(x: longint): boolean;
begin
  off_col_from := ask(row, row, max(x, col + 1), n) or
                  ((x < col) and ask(row, row, x, col - 1));
end;

function off_row_to(x: longint): boolean;
begin
  off_row_to := ask(1, min(x, row - 1), col, col) or
                ((x > row) and ask(row + 1, x, col, col));
end;

function off_row_from(x: longint): boolean;
begin
  off_row_from := ask(max(x, row + 1), n, col, col) or
                  ((x < row) and ask(x, row - 1, col, col));
end;

begin
  { Boolean shortcuts must stay on: a skipped ask is a saved query. }
  {$B-}
  n := gridsize;
  top := first_true(1, n, @rows_to);
  first := first_true(1, n, @top_row_to);
  { A row with one cell lies on rod 2 alone; rod 1 gives its row two or more. }
  if (first = n) or not ask(top, top, first + 1, n) then
  begin
    col := first;
    row := first_true(top, n, @off_col_rows_to);
  end
  else
  begin
    row := top;
    bottom := last_true(1, n, @rows_from);
    col := first_true(1, n, @bottom_row_to);
  end;
  { Rod 1 without column col, rod 2 without row row, and their meeting cell. }
  lo1 := first_true(1, n, @off_col_to);
  hi1 := last_true(1, n, @off_col_from);
  lo2 := first_true(1, n, @off_row_to);
  hi2 := last_true(1, n, @off_row_from);
  crossing := ask(row, row, col, col);
  { Each rod may or may not own the meeting cell when it sits at its end;
    take the first pair of rods that rebuilds exactly the cells seen. }
  for i := 0 to 2 do
    for j := 0 to 2 do
    begin
      a := lo1; b := hi1; p := lo2; q := hi2;
      usable := true;
      if i = 1 then begin usable := col = lo1 - 1; a := col; end;
      if i = 2 then begin usable := col = hi1 + 1; b := col; end;
      if j = 1 then begin usable := usable and (row = lo2 - 1); p := row; end;
      if j = 2 then begin usable := usable and (row = hi2 + 1); q := row; end;
      owned := ((a <= col) and (col <= b)) or ((p <= row) and (row <= q));
      if usable and (b > a) and (q > p) and (owned = crossing) then
        report(row, a, row, b, p, col, q, col);
    end;
  report(row, lo1, row, hi1, lo2, col, hi2, col);
end.
