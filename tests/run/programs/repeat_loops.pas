PROGRAM REPS;
VAR I, N : INTEGER;
BEGIN
  I := 0;
  REPEAT
    I := I + 1;
    WRITE(I);
  UNTIL I >= 3;
  N := 0;
  REPEAT
    N := N + 1;
  UNTIL 1 = 1;
  WRITE(N);
  N := 3;
  REPEAT
    N := N - 1;
    WRITE(N);
  UNTIL N;
END.
