// Expressions, conditions and assignments of the translating pass, by recursive descent straight
// into template calls: no tree, no folding. Expression and Condition leave an integer value in AX;
// Assignment stores an integer or builds a string in the work buffer _bufstr1 and stores it.
#pragma once

#include "sin/source_map.h"

void Assignment();
// Entered with the token before the condition current (IF, WHILE, UNTIL); the condition is the
// map's part `kind`, which the caller ends after its jump.
void Condition(MapKind kind);
void Expression();

// The nesting of statements and parenthesised factors in the translating pass.
extern int TranslateNesting;
