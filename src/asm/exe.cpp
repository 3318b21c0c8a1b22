// The MZ .EXE of a program image, laid out as a MASM linker lays out the small model: the header
// with its relocation table, padded to a paragraph; _TEXT from the image's first paragraph; DGROUP
// from the paragraph after the code, with the data stored and the stack not (it is memory DOS
// adds beyond the image: SS = DGROUP, SP = its end).
#include "asm/assembler.h"

namespace {
void Word(std::string &out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}
void Pad(std::string &out) {
  while (out.size() % 16) out += '\0';
}
} // namespace

std::string ExeFile(const ProgramImage &image) {
  uint32_t headerSize = (28 + 4 * static_cast<uint32_t>(image.relocations.size()) + 15) / 16 * 16;
  uint32_t fileSize =
      headerSize + image.DgroupParagraph() * 16 + static_cast<uint32_t>(image.data.size());
  std::string out = "MZ";
  Word(out, fileSize % 512);         // bytes in the last page
  Word(out, (fileSize + 511) / 512); // pages of 512 bytes in the file
  Word(out, static_cast<uint32_t>(image.relocations.size()));
  Word(out, headerSize / 16);         // paragraphs of the header
  Word(out, image.stackSize / 16);    // paragraphs needed beyond the image: the stack
  Word(out, 0xFFFF);                  // paragraphs wanted at most
  Word(out, image.DgroupParagraph()); // SS
  Word(out, image.StackPointer());    // SP
  Word(out, 0);                       // checksum
  Word(out, image.entry);             // IP
  Word(out, 0);                       // CS
  Word(out, 0x1C);                    // offset of the relocation table
  Word(out, 0);                       // overlay
  for (uint16_t at : image.relocations) {
    Word(out, at);
    Word(out, 0);
  }
  Pad(out);
  out.append(image.code.begin(), image.code.end());
  Pad(out);
  out.append(image.data.begin(), image.data.end());
  return out;
}
