// The syntax pre-check: a parse-only first pass with a grammar of its own (one VAR group, IF with
// ELSE, WRITE of names only, integer expressions only). Its errors go to the recovery, which may
// parse an IF without ELSE or a WRITE with literals again in their alternative forms.
#pragma once

void CheckProgram();
void CheckHeader();
void CheckVarPart();
void CheckVarGroup();
void CheckVarType();
void CheckBody();
void CheckStatementList();
void CheckStatement();
void CheckBodyStatement();
void CheckAssignment();
void CheckIfElse();
void CheckIfThen();
void CheckRead();
void CheckWrite();
void CheckWriteItems();
void CheckWhile();
void CheckFor();
void CheckRepeat();
void CheckExpression();
void CheckOr();
void CheckAnd();
void CheckNot();
void CheckRelation();
void CheckSum();
void CheckProductTail();
void CheckSignedFactor();
void CheckFactor();
