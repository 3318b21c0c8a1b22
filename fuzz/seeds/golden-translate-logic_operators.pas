program logic;
var a, b, c, x : integer;
begin
  x := a and b;
  x := a or b;
  x := not a;
  x := not (a = b);
  x := a or b and not c;
end.
