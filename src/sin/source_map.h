// The source map: once StartSourceMap has been called, every line that the translating pass writes
// is tied to the construct of the program that wrote it, or to a fixed part of the frame, and
// WriteSourceMap writes those ties as JSON, for the lines of "out1.asm". Without StartSourceMap
// every call here returns at once.
//
// The parser marks where a construct begins and ends: MapOpen at its first token, MapClose at the
// token after it. A statement's parts (a condition, a branch, a loop's counting code, a READ or
// WRITE item) are opened with MapPart, which ends the part before it; MapEndPart goes back to the
// statement. The lines between two marks belong to the innermost open construct.
#pragma once

#include <cstdint>
#include <string>

enum class MapKind {
  // Fixed parts of the frame, and the data definitions.
  kHeader,
  kVariable,
  kConstant,
  kCodeStart,
  kExit,
  kRuntime,
  // Statements and their parts.
  kAssignment,
  kIf,
  kIfCondition,
  kThen,
  kElse,
  kWhile,
  kWhileCondition,
  kWhileBodyEnd,
  kFor,
  kForStart,
  kForLimit,
  kForStep,
  kRepeat,
  kRepeatUntil,
  kRead,
  kReadItem,
  kWrite,
  kWriteText,
  kWriteItem,
};

void StartSourceMap();

// A construct or a part of one, beginning at `at` (an offset in the source) and ending before the
// token at which it is closed, or, for a part whose text lies elsewhere, before `end`.
void MapOpen(MapKind kind, int64_t at);
void MapPart(MapKind kind, int64_t at, int64_t end = -1);
void MapEndPart();
void MapClose();
// A fixed part of the frame begins (neither a variable nor a constant).
void MapFixed(MapKind part);

// The variable of a slot is declared at the current token; its declaration line begins.
void MapDeclaration(int slot);
void MapVariableLine(int slot);
// The text of the next pooled string constant begins at `at`; that constant has been pooled.
void MapTextAt(int64_t at);
void MapMessagePooled();
void MapStringPooled();

// The map of the run that has just built "out1.asm", into the file `name`.
void WriteSourceMap(const std::string &name);
