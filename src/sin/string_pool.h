// The texts that the generated program prints or joins, collected while translating, and the
// building of "out1.asm": "out.asm" with one data definition per text after its fourth line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An entry's index is the number in its assembly name; the next one is the pool's size.
extern std::vector<std::string> MsgConsts; // WRITE texts, written as _msg0, _msg1, ...
extern std::vector<std::string> StrConsts; // literals of string expressions, as _str0, _str1, ...

// The data definition of one pooled text, with its CR LF line ends, e.g. `_msg0  db  "Hi","$" `.
std::string ConstantLines(const std::string &name, const std::string &text);

void BuildFinalAssembly();
