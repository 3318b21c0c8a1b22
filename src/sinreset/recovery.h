// The pre-check pass and its error handling: RunPrecheck checks the whole source, printing each
// error; where the last IF or WRITE left a record of where it began, the source is moved back there
// and the construct is parsed again in its alternative form, after a dialogue on the console.
// Otherwise the rule is refused and the run ends.
#pragma once

#include <cstdint>
#include <string>

// Where the IF or WRITE being checked began, so that an error in it can parse it again.
extern int32_t ReparseKind;   // 0 none, 1 an IF rule, 2 a WRITE rule
extern int32_t ReparseOffset; // the reader's CharPos there

void RunPrecheck();
// Prints the error line of `text` + " Expected", then re-parses or ends the run; returns only
// after a successful re-parse.
void CheckExpectedError(const std::string &text);
