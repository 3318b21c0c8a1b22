PROGRAM IFBLK;
VAR A, B, C : INTEGER;
BEGIN
  READ(A);
  IF A > 10 THEN
  BEGIN
    B := A - 10;
    C := B * 2;
    WRITE(B, C);
  END
  ELSE
  BEGIN
    B := 10 - A;
    WRITE(B);
    IF B > 5 THEN BEGIN C := 1; WRITE(C); END ELSE BEGIN C := 0; WRITE(C); END;
  END;
  WRITE(A);
END.
