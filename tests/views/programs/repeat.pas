PROGRAM REP;
VAR N, F : INTEGER;
BEGIN
  N := 4;
  F := 1;
  REPEAT
    F := F * N;
    N := N - 1;
  UNTIL N < 2;
  WRITE(F);
END.
