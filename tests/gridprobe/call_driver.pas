{ call_driver: the C call driver's twin, calling the unit pgridprobe. }
program call_driver;

uses
  BaseUnix, pgridprobe;

var
  script, returns: text;
  cmd: char;
  v1, v2, v3, v4, v5, v6, v7, v8: longint;
  value: longint;
  junk, missing: file;
  { An unchecked I/O error of the program's own, pending around each call. }
  held: word;

begin
  if ParamCount <> 2 then
    Halt(2);
  Assign(script, ParamStr(1));
  Reset(script);
  Assign(returns, ParamStr(2));
  Rewrite(returns);
  held := 0;
  while not SeekEof(script) do
  begin
    Read(script, cmd);
    case cmd of
      'g':
        begin
          InOutRes := held;
          value := gridsize;
          held := IOResult;
          WriteLn(returns, value);
        end;
      'r':
        begin
          Read(script, v1, v2, v3, v4);
          InOutRes := held;
          value := rect(v1, v2, v3, v4);
          held := IOResult;
          WriteLn(returns, value);
        end;
      'p':
        begin
          Read(script, v1, v2, v3, v4, v5, v6, v7, v8);
          InOutRes := held;
          report(v1, v2, v3, v4, v5, v6, v7, v8);
        end;
      'e':
        begin
          Assign(missing, 'no-such-file');
          {$I-}
          Reset(missing);
          {$I+}
          held := IOResult;
        end;
      'l':
        DefaultTextLineBreakStyle := tlbsCRLF;
      { Output has no unbuffered mode to set. }
      'u':
        ;
      'w':
        WriteLn('own line');
      'c':
        begin
          Read(script, v1);
          fpClose(v1);
        end;
      'i':
        begin
          WriteLn(returns, Ord(held <> 0));
          held := 0;
        end;
      'd':
        begin
          Assign(junk, 'rods.in');
          Erase(junk);
        end;
      's':
        PLongint(nil)^ := 1;
      'k':
        fpKill(fpGetPid, SIGKILL);
    else
      Halt(2);
    end;
    Flush(returns);
  end;
  { Only a program the library did not end gets here. }
  Halt(3);
end.
