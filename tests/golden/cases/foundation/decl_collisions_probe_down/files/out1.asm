@@HEADER@@
 _Q0 DW ?
 _AA DW ?
 _BA DW ?
 _AB DW ?
@@CODESTART@@
@@EXIT@@
@@RUNTIME@@
