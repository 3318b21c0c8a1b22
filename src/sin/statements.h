// The statement level of the translating pass: the program body and every statement, parsed token
// by token and written out as it goes: comment lines around each statement, labels and jumps, the
// counting code of FOR, and the READ and WRITE templates.
#pragma once

#include <string>
#include <vector>

#include "kod/templates.h"

// The variables of the READ or WRITE being translated, and the joined literals of the WRITE.
extern std::vector<ListEntry> ReadList;
extern std::vector<ListEntry> WriteList;
extern std::string WriteText;

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
void WriteVarList();
void WriteLiteral();
