// The statement level of the translating pass: the program body and every statement, parsed token
// by token and written out as it goes: comment lines around each statement, labels and jumps, the
// counting code of FOR, and the READ and WRITE templates.
#pragma once

#include <cstddef>

void TranslateProgram();
void ProgramBody();
void StatementList();
void Statement();
void BodyStatement();
void IfStatement();
void WhileStatement();
void ForStatement();
void RepeatStatement();
void ReadStatement();
void WriteStatement();
size_t WriteVarList(size_t count);
void WriteLiteral();
