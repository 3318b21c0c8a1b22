// The pre-check's entry and its error handling: each error is printed; where the last IF or WRITE
// left a record of where it began, the source is moved back there and the construct is parsed again
// in its alternative form, after a dialogue on the console. Otherwise the rule is refused.
#pragma once

#include <cstdint>
#include <string>

void RunPrecheck();
void CheckReport(const std::string &message);
void CheckError(const std::string &message);
void CheckExpectedError(const std::string &text);
void ReparseRule(int32_t kind, int32_t offset);
