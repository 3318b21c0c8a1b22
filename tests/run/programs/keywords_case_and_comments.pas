program Mixed;
var Alpha, beta : integer;
Be{ a comment inside a keyword }gin
  alpha := 4 {one} + {two} 5;   { Alpha and ALPHA are one name }
  BETA := ALPHA * { nested { comment } here } 2;
  If Alpha < Beta Then Write(aLpHa) Else Write(beta);
  wHiLe alpha > 7 do alpha := alpha - 1;
  Write(Alpha);
eNd.
