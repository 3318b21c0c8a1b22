PROGRAM READMANY;
VAR A, B, C, D, E, F, G, H, I, J, K, S : INTEGER;
BEGIN
  READ(A, B, C);
  S := A + B + C;
  WRITE(S);
  READ(A, B, C, D, E, F, G, H, I, J, K);
  S := A + B + C + D + E + F + G + H + I + J + K;
  WRITE(S);
  WRITE(K, J, I, H, G, F, E, D, C, B, A, S);
END.
