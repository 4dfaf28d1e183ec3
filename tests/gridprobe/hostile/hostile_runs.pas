{ hostile_runs: a Pascal contestant program that reaches past its own run:
  ParamStr(1) is readcase (rods.in by the absolute path of the case
  directory in ParamStr(2)) or stash (the answer left in /tmp by an earlier
  run of the same case, used in one call). }
program hostile_runs;

{$mode objfpc}

uses
  pgridprobe;

const
  stash_file = '/tmp/.gp-pascal-stash';

var
  answer: array[1..8] of longint;
  mode: string;

procedure scan;
var
  hit: array[1..10, 1..10] of boolean;
  r, c: longint;
begin
  for r := 1 to 10 do
    for c := 1 to 10 do
      hit[r, c] := rect(r, r, c, c) = 1;
  FillChar(answer, SizeOf(answer), 0);
  for r := 1 to 10 do
    for c := 1 to 9 do
      if hit[r, c] and hit[r, c + 1] then
      begin
        if answer[1] = 0 then
        begin
          answer[1] := r;
          answer[3] := r;
          answer[2] := c;
        end;
        if answer[1] = r then
          answer[4] := c + 1;
      end;
  for c := 1 to 10 do
    for r := 1 to 9 do
      if hit[r, c] and hit[r + 1, c] then
      begin
        if answer[6] = 0 then
        begin
          answer[6] := c;
          answer[8] := c;
          answer[5] := r;
        end;
        if answer[6] = c then
          answer[7] := r + 1;
      end;
end;

{ Reads nine integers (a case) or eight (a stash); true when all came. }
function read_numbers(const path: string; skip_first: boolean): boolean;
var
  f: text;
  n, i: longint;
begin
  Assign(f, path);
  {$I-}
  Reset(f);
  if IOResult <> 0 then
    exit(false);
  if skip_first then
    Read(f, n);
  for i := 1 to 8 do
    Read(f, answer[i]);
  Close(f);
  {$I+}
  read_numbers := (IOResult = 0) and (answer[1] <> 0);
end;

procedure write_stash;
var
  f: text;
  i: longint;
begin
  Assign(f, stash_file);
  {$I-}
  Rewrite(f);
  for i := 1 to 8 do
    Write(f, answer[i], ' ');
  Close(f);
  {$I+}
  if IOResult <> 0 then ;
end;

begin
  mode := ParamStr(1);
  FillChar(answer, SizeOf(answer), 0);
  if mode = 'readcase' then
  begin
    if not read_numbers(ParamStr(2) + '/rods.in', true) then
      FillChar(answer, SizeOf(answer), 0);
    rect(1, 1, 1, 1);
  end
  else if mode = 'stash' then
  begin
    if read_numbers(stash_file, false) then
      rect(1, 1, 1, 1)
    else
    begin
      scan;
      write_stash;
    end;
  end;
  report(answer[1], answer[2], answer[3], answer[4], answer[5], answer[6],
    answer[7], answer[8]);
end.
