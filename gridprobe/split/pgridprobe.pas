{ pgridprobe (split form): the grader calls, answered by gridprobe-manager.
  The test case and the verdict never enter this program. }
{ The unit keeps its own mode whatever mode compiles the program. }
{$mode objfpc}{$H-}
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
  BaseUnix, Sockets;

const
  { Linux values; BaseUnix does not name them all. }
  fcntl_dupfd = 0;
  fcntl_getfd = 1;
  fcntl_setfd = 2;
  fd_close_on_exec = 1;
  send_no_signal = $4000;

var
  wire_in, wire_out: longint;
  wire_is_socket: boolean;
  { No manager on the other end: the first call says so and ends. }
  alone: boolean;
  reply_buf: array[0..63] of char;
  reply_len: longint;

{ The manager is gone or spoke nonsense: end at once, touching nothing. }
procedure lost;
begin
  FpExit(0);
end;

function is_fifo(const path: shortstring): boolean;
var
  st: Stat;
  name: array[0..255] of char;
begin
  Move(path[1], name[0], Length(path));
  name[Length(path)] := #0;
  is_fifo := (Length(path) > 0) and (FpStat(PChar(@name[0]), st) = 0) and
    fpS_ISFIFO(st.st_mode);
end;

{ A descriptor moved to >= 3 and marked close-on-exec, or -1. }
function private_fd(fd: longint): longint;
var
  moved: longint;
begin
  private_fd := -1;
  if fd < 0 then
    exit;
  moved := FpFcntl(fd, fcntl_dupfd, 3);
  if moved < 0 then
    exit;
  FpFcntl(moved, fcntl_setfd, fd_close_on_exec);
  if fd > 2 then
    FpClose(fd);
  private_fd := moved;
end;

function open_path(const path: shortstring; flags: longint): longint;
var
  name: array[0..255] of char;
begin
  Move(path[1], name[0], Length(path));
  name[Length(path)] := #0;
  open_path := FpOpen(PChar(@name[0]), flags);
end;

{ Every judge and gridprobe-manager wire the program with pipes, FIFOs or
  sockets; a terminal, a file or /dev/null means nobody answers. }
function is_wire(fd: longint): boolean;
var
  st: Stat;
begin
  is_wire := (FpFStat(fd, st) = 0) and
    (fpS_ISFIFO(st.st_mode) or fpS_ISSOCK(st.st_mode));
end;

{ Started alone: say so once, instead of a request nobody reads. }
procedure no_manager;
const
  { Two pieces: a short string holds 255 characters at most. }
  what: string = 'gridprobe: this program was built with the split stub, ' +
    'whose calls are answered by gridprobe-manager over standard input ' +
    'and output: ';
  todo: string = 'start it as "gridprobe-manager run -- PROGRAM" in the ' +
    'directory of rods.in, or build it with the linked library to run it ' +
    'alone'#10;
begin
  FpWrite(2, what[1], Length(what));
  FpWrite(2, todo[1], Length(todo));
  FpExit(1);
end;

procedure start;
var
  null_fd: longint;
  st: Stat;
begin
  alone := false;
  if (ParamCount >= 2) and is_fifo(ParamStr(1)) and is_fifo(ParamStr(2)) then
  begin
    wire_in := private_fd(open_path(ParamStr(1), O_RdOnly));
    wire_out := private_fd(open_path(ParamStr(2), O_WrOnly));
  end
  else
  begin
    alone := not is_wire(0) or not is_wire(1);
    wire_in := private_fd(0);
    wire_out := private_fd(1);
  end;
  wire_is_socket := (wire_out >= 0) and (FpFStat(wire_out, st) = 0) and
    fpS_ISSOCK(st.st_mode);
  { Nothing the program prints may reach the manager or the judge. }
  null_fd := FpOpen('/dev/null', O_RdWr);
  if null_fd >= 0 then
  begin
    FpDup2(null_fd, 0);
    if FpFcntl(2, fcntl_getfd) < 0 then
      FpDup2(null_fd, 2);
    if null_fd > 2 then
      FpClose(null_fd);
  end;
  if FpDup2(2, 1) < 0 then
    FpClose(1);
  reply_len := 0;
end;

{ Writes one whole line; a dead manager never raises SIGPIPE here. }
procedure send(const line: shortstring);
var
  pipe_set, old: TSigSet;
  done, n: longint;
begin
  if alone then
    no_manager;
  done := 0;
  if wire_is_socket then
  begin
    while done < Length(line) do
    begin
      n := fpSend(wire_out, @line[1 + done], Length(line) - done,
        send_no_signal);
      if (n < 0) and (FpGetErrno = ESysEINTR) then
        n := 0
      else if n <= 0 then
        lost;
      done := done + n;
    end;
    exit;
  end;
  { A pipe or FIFO: SIGPIPE is held back around the write instead. }
  FpSigEmptySet(pipe_set);
  FpSigAddSet(pipe_set, SIGPIPE);
  FpSigProcMask(SIG_BLOCK, @pipe_set, @old);
  done := 0;
  while done < Length(line) do
  begin
    n := FpWrite(wire_out, line[1 + done], Length(line) - done);
    if (n < 0) and (FpGetErrno = ESysEINTR) then
      n := 0
    else if n <= 0 then
      lost; { the mask stays: a pending SIGPIPE must not outlive the exit }
    done := done + n;
  end;
  FpSigProcMask(SIG_SETMASK, @old, nil);
end;

{ Reads one reply line: its value, or the end of the run ("E"). }
function receive: longint;
var
  i, j, n, stop: longint;
  value: int64;
  negative: boolean;
begin
  receive := 0;
  stop := -1;
  while stop < 0 do
  begin
    i := 0;
    while (stop < 0) and (i < reply_len) do
    begin
      if reply_buf[i] = #10 then
        stop := i;
      i := i + 1;
    end;
    if stop < 0 then
    begin
      if reply_len = Length(reply_buf) then
        lost;
      n := FpRead(wire_in, reply_buf[reply_len], Length(reply_buf) - reply_len);
      if (n < 0) and (FpGetErrno = ESysEINTR) then
        n := 0
      else if n <= 0 then
        lost;
      reply_len := reply_len + n;
    end;
  end;
  if (stop = 1) and (reply_buf[0] = 'E') then
    Halt(0);
  i := 0;
  negative := false;
  if (stop > 0) and (reply_buf[0] = '-') then
  begin
    negative := true;
    i := 1;
  end;
  if (i = stop) or (stop - i > 10) then
    lost;
  value := 0;
  while i < stop do
  begin
    if (reply_buf[i] < '0') or (reply_buf[i] > '9') then
      lost;
    value := value * 10 + (Ord(reply_buf[i]) - Ord('0'));
    i := i + 1;
  end;
  if negative then
    value := -value;
  if (value < -2147483648) or (value > 2147483647) then
    lost;
  j := 0;
  while stop + 1 + j < reply_len do
  begin
    reply_buf[j] := reply_buf[stop + 1 + j];
    j := j + 1;
  end;
  reply_len := j;
  receive := longint(value);
end;

function num(v: longint): shortstring;
var
  s: shortstring;
begin
  Str(v, s);
  num := ' ' + s;
end;

function gridsize: longint;
begin
  send('G'#10);
  gridsize := receive;
end;

function rect(r1, r2, c1, c2: longint): smallint;
begin
  send('R' + num(r1) + num(r2) + num(c1) + num(c2) + #10);
  rect := smallint(receive);
end;

procedure report(a1, a2, a3, a4, a5, a6, a7, a8: longint);
begin
  send('P' + num(a1) + num(a2) + num(a3) + num(a4) + num(a5) + num(a6) +
    num(a7) + num(a8) + #10);
  receive;
  { A reply other than the end is a manager out of step. }
  lost;
end;

initialization
  start;
end.
