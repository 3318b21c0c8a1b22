// Expressions, conditions and assignments of the translating pass, by recursive descent straight
// into template calls: no tree, no folding. Integer expressions leave their value in AX; string
// expressions build theirs in the work buffer _bufstr1.
#pragma once

void Assignment();
void Condition();
void Expression();
void AndExpression();
void NotExpression();
void Relation();
void SimpleExpression();
void FirstTerm();
void Term();
void ProductTail();
void SignedFactor();
void NegatedFactor();
void Factor();
void StringExpression();
void StringFactor();

// Nesting of the translating pass, shared with the statements.
extern int TranslateNesting;
