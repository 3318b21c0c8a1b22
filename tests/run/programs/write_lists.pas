PROGRAM WRITES;
VAR A, B, C, D, E, F, G, H, I, J, K, L : INTEGER;
BEGIN
  A := 1; B := 2; C := 3; D := 4; E := 5; F := 6;
  G := 7; H := 8; I := 9; J := 10; K := 11; L := -12;
  WRITE(A, B, C, D, E, F, G, H, I, J, K, L);
  WRITE(L K);
  WRITE();
  WRITE(A);
END.
