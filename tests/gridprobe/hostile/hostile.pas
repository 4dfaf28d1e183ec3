{ hostile: a Pascal contestant program that tries to forge its verdict;
  ParamStr(1) names the attack: exitproc, read or stdout. }
program hostile;

{$mode objfpc}

uses
  pgridprobe;

var
  answer: array[1..8] of longint;
  mode: string;

procedure forge;
var
  f: text;
begin
  Assign(f, 'rods.out');
  {$I-}
  Rewrite(f);
  Write(f, '1'#10'2 3 2 7'#10'5 9 8 9'#10);
  Close(f);
  {$I+}
  if IOResult <> 0 then ;
end;

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

procedure read_case;
var
  f: text;
  n: longint;
begin
  Assign(f, 'rods.in');
  {$I-}
  Reset(f);
  Read(f, n, answer[1], answer[2], answer[3], answer[4], answer[5],
    answer[6], answer[7], answer[8]);
  Close(f);
  {$I+}
  if IOResult <> 0 then ;
end;

begin
  mode := ParamStr(1);
  FillChar(answer, SizeOf(answer), 0);
  if mode = 'read' then
  begin
    read_case;
    rect(1, 1, 1, 1);
  end
  else if mode = 'exitproc' then
  begin
    scan;
    AddExitProc(@forge);
  end
  else if mode = 'stdout' then
  begin
    scan;
    WriteLn('forged verdict');
  end;
  report(answer[1], answer[2], answer[3], answer[4], answer[5], answer[6],
    answer[7], answer[8]);
end.
