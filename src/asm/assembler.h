// Assemble(text) delivers the program image of an "out1.asm": the code and data bytes, the entry
// point, the stack, the words that DOS relocates, every name with its offset, and for every
// instruction where it lies and which line of the text wrote it. ExeFile(image) delivers the MZ
// .EXE file a MASM assembler and linker make of it for the small model, which DOS and DOSBox run.
//
// Only the subset that the compiler writes is known: ".model small", ".386", ".data", ".code",
// ".stack", db/dw with dup and texts, equ, proc/endp, labels, end, and the instructions and operand
// forms of its templates and runtime, with MASM's rules for sizes, case and @Data. Any other line
// is refused, naming it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr uint32_t kSegmentLimit = 0x10000;

struct AsmSymbol {
  std::string name; // as the text first wrote it
  bool inCode;      // a label or procedure of _TEXT; otherwise a variable of DGROUP
  uint16_t offset;  // from the start of its segment
};

struct AsmInstruction {
  uint16_t offset; // in _TEXT
  uint8_t length;
  uint32_t line; // 1-based line of the text
};

struct ProgramImage {
  std::vector<uint8_t> code;         // _TEXT, from the first paragraph of the image
  std::vector<uint8_t> data;         // DGROUP's bytes, from the paragraph after the code
  uint32_t stackSize = 0;            // of ".stack", placed after the data from its next paragraph
  uint16_t entry = 0;                // IP of the label that "end" names
  std::vector<uint16_t> relocations; // offsets in _TEXT of the words that hold DGROUP's paragraph
  std::vector<AsmSymbol> symbols;
  std::vector<AsmInstruction> instructions; // in order of their offsets
  std::vector<std::string> lines;           // the text's lines, without their line ends

  uint32_t DgroupParagraph() const { return static_cast<uint32_t>((code.size() + 15) / 16); }
  // DGROUP's size: the data up to its last paragraph, then the stack.
  uint32_t DgroupSize() const {
    return static_cast<uint32_t>((data.size() + 15) / 16 * 16) + stackSize;
  }
  uint16_t StackPointer() const { return static_cast<uint16_t>(DgroupSize() & 0xFFFF); }
};

struct AsmError {
  uint32_t line = 0; // 0: about the whole image (a segment past 64 KiB)
  std::string message;
  std::string text; // the line refused, trimmed
};

// False with `error` set when a line is outside the subset or a segment passes 64 KiB.
bool Assemble(std::string_view text, ProgramImage &image, AsmError &error);

std::string ExeFile(const ProgramImage &image);
