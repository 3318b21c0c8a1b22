// The pre-check's entry and its error handling: each error is printed; where the last IF or WRITE
// left a record of where it began, the source is moved back there and the construct is parsed again
// in its alternative form, after a dialogue on the console. Otherwise the rule is refused.
#pragma once

#include <cstdint>
#include <string>

// Where the IF or WRITE being checked began, so that an error in it can parse it again.
extern int32_t ReparseKind;   // 0 none, 1 an IF rule, 2 a WRITE rule
extern int32_t ReparseOffset; // the reader's CharPos there

void RunPrecheck();
void CheckReport(const std::string &message);
void CheckError(const std::string &message);
void CheckExpectedError(const std::string &text);
void ReparseRule(int32_t kind, int32_t offset);
