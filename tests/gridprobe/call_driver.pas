{ call_driver: the C call driver's twin, calling the unit pgridprobe. }
program call_driver;

uses
  BaseUnix, pgridprobe;

var
  script, returns: text;
  cmd: char;
  v1, v2, v3, v4, v5, v6, v7, v8: longint;
  junk: file;

begin
  if ParamCount <> 2 then
    Halt(2);
  Assign(script, ParamStr(1));
  Reset(script);
  Assign(returns, ParamStr(2));
  Rewrite(returns);
  while not SeekEof(script) do
  begin
    Read(script, cmd);
    case cmd of
      'g':
        WriteLn(returns, gridsize);
      'r':
        begin
          Read(script, v1, v2, v3, v4);
          WriteLn(returns, rect(v1, v2, v3, v4));
        end;
      'p':
        begin
          Read(script, v1, v2, v3, v4, v5, v6, v7, v8);
          report(v1, v2, v3, v4, v5, v6, v7, v8);
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
