@@HEADER@@
 _S DB  256 dup (?)
@@CODESTART@@
