program Demo;
var demo : integer;
begin
end.
