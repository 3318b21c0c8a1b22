PROGRAM STRS;
VAR S, T, U : STRING;
BEGIN
  S := T;
  S := T + U;
  U := S + T + U;
  T := S;
END.
