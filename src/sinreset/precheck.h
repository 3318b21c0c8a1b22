// The syntax pre-check: CheckProgram parses the whole program without translating it, by a grammar
// of its own (one VAR group, IF with ELSE, WRITE of names only, integer expressions only). Its
// errors go to the recovery, which may parse an IF without ELSE (CheckIfThen) or a WRITE with
// literals (CheckWriteItems) again in their alternative forms.
#pragma once

void CheckProgram();
void CheckIfThen();
void CheckWriteItems();
