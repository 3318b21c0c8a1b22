// The machine and the assembler driven from outside, for comparisons with other tools; the
// formats are described in machine_driver.md beside this file.
//
//   machine_driver states     JSON states in, one a line; the state after running each, out
//   machine_driver programs   lines "ASM<tab>INPUT<tab>BUDGET" in; one JSON result a line, out
//   machine_driver forms      the instruction table, one JSON form a line
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "asm/assembler.h"
#include "asm/forms.h"
#include "machine/machine.h"

namespace {
// --- A reader of the little JSON the states use: objects, arrays, numbers, strings ----------

struct Value {
  enum { Number, String, Array, Object } kind = Number;
  int64_t number = 0;
  std::string text;
  std::vector<Value> items;
  std::map<std::string, Value> fields;
};

struct Reader {
  const std::string &s;
  size_t i = 0;
  bool ok = true;
  void Blank() {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n')) i++;
  }
  bool Eat(char c) {
    Blank();
    if (i < s.size() && s[i] == c) {
      i++;
      return true;
    }
    return false;
  }
  Value Parse() {
    Value v;
    Blank();
    if (i >= s.size()) {
      ok = false;
      return v;
    }
    if (s[i] == '{') {
      i++;
      v.kind = Value::Object;
      if (Eat('}')) return v;
      do {
        Value key = Parse();
        if (key.kind != Value::String || !Eat(':')) {
          ok = false;
          return v;
        }
        v.fields[key.text] = Parse();
      } while (ok && Eat(','));
      if (!Eat('}')) ok = false;
    } else if (s[i] == '[') {
      i++;
      v.kind = Value::Array;
      if (Eat(']')) return v;
      do v.items.push_back(Parse());
      while (ok && Eat(','));
      if (!Eat(']')) ok = false;
    } else if (s[i] == '"') {
      v.kind = Value::String;
      for (i++; i < s.size() && s[i] != '"'; i++) v.text += s[i];
      if (i++ >= s.size()) ok = false;
    } else {
      size_t start = i;
      if (s[i] == '-') i++;
      while (i < s.size() && s[i] >= '0' && s[i] <= '9') i++;
      if (i == start)
        ok = false;
      else
        v.number = std::stoll(s.substr(start, i - start));
    }
    return v;
  }
};

const char *const kRegs[] = {"ax", "cx", "dx", "bx", "sp", "bp", "si", "di"};
const char *const kSregs[] = {"es", "cs", "ss", "ds"};

int64_t Field(const Value &object, const std::string &name) {
  auto it = object.fields.find(name);
  return it == object.fields.end() ? 0 : it->second.number;
}

std::string Json(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

int States() {
  std::string line;
  while (std::getline(std::cin, line)) {
    Reader reader{line};
    Value state = reader.Parse();
    if (!reader.ok || state.kind != Value::Object) {
      std::cout << "{\"error\": \"not a state\"}\n";
      continue;
    }
    LoadBlank({});
    CpuState cpu{};
    const Value &regs = state.fields["regs"];
    for (int r = 0; r < 8; r++) cpu.regs[r] = static_cast<uint16_t>(Field(regs, kRegs[r]));
    for (int r = 0; r < 4; r++) cpu.sregs[r] = static_cast<uint16_t>(Field(regs, kSregs[r]));
    cpu.ip = static_cast<uint16_t>(Field(regs, "ip"));
    cpu.flags = static_cast<uint16_t>(Field(regs, "flags"));
    SetCpu(cpu);
    std::vector<uint32_t> addresses;
    for (const Value &block : state.fields["memory"].items) {
      if (block.items.size() != 2) continue;
      uint32_t at = static_cast<uint32_t>(block.items[0].number);
      for (const Value &byte : block.items[1].items) {
        Memory(at) = static_cast<uint8_t>(byte.number);
        addresses.push_back(at++);
      }
    }
    int64_t count = Field(state, "count");
    Status status = Run(count > 0 ? static_cast<uint64_t>(count) : 1);
    cpu = ReadCpu();
    std::cout << "{\"status\": " << static_cast<int>(status)
              << ", \"message\": " << Json(StopMessage())
              << ", \"executed\": " << InstructionCount() << ", \"regs\": {";
    for (int r = 0; r < 8; r++) std::cout << "\"" << kRegs[r] << "\": " << cpu.regs[r] << ", ";
    for (int r = 0; r < 4; r++) std::cout << "\"" << kSregs[r] << "\": " << cpu.sregs[r] << ", ";
    std::cout << "\"ip\": " << cpu.ip << ", \"flags\": " << cpu.flags << "}, \"memory\": [";
    for (size_t k = 0; k < addresses.size(); k++)
      std::cout << (k ? ", " : "") << "[" << addresses[k] << ", " << int(Memory(addresses[k]))
                << "]";
    std::cout << "]}\n" << std::flush;
  }
  return 0;
}

struct Collected {
  std::string output;
  std::FILE *input;
};

int Programs() {
  std::string line;
  while (std::getline(std::cin, line)) {
    size_t a = line.find('\t'), b = line.find('\t', a + 1);
    if (a == std::string::npos || b == std::string::npos) {
      std::cout << "{\"error\": \"not ASM<tab>INPUT<tab>BUDGET\"}\n";
      continue;
    }
    std::string asmPath = line.substr(0, a), inputPath = line.substr(a + 1, b - a - 1);
    uint64_t budget = std::stoull(line.substr(b + 1));
    std::string text;
    if (std::FILE *f = std::fopen(asmPath.c_str(), "rb")) {
      char buffer[65536];
      size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
      std::fclose(f);
    }
    ProgramImage image;
    AsmError error;
    if (!Assemble(text, image, error)) {
      std::cout << "{\"refused\": " << error.line << ", \"message\": " << Json(error.message)
                << "}\n";
      continue;
    }
    Collected c{"", std::fopen(inputPath.c_str(), "rb")};
    MachineIo io;
    io.context = &c;
    io.write = [](void *context, std::string_view bytes) {
      static_cast<Collected *>(context)->output.append(bytes);
      return true;
    };
    io.readLine = [](void *context, std::string &got) {
      std::FILE *in = static_cast<Collected *>(context)->input;
      got.clear();
      int ch;
      while (in && (ch = std::getc(in)) != EOF) {
        got += static_cast<char>(ch);
        if (ch == '\n') break;
      }
      return !got.empty();
    };
    LoadProgram(image, io, true);
    Status status = Run(budget);
    if (c.input) std::fclose(c.input);
    int exit = status == Status::Running ? 69 : static_cast<int>(status);
    std::cout << "{\"exe\": \"" << Hex(ExeFile(image)) << "\", \"exit\": " << exit
              << ", \"count\": " << InstructionCount() << ", \"output\": \"" << Hex(c.output)
              << "\", \"message\": " << Json(StopMessage()) << "}\n"
              << std::flush;
  }
  return 0;
}

// The instruction table, one form a line, so that a test can build instructions of every form.
int Forms() {
  static const char *const kShapes[] = {
      "None", "R8",  "R16",    "RM8",     "RM16", "M",   "PlusR8", "PlusR16", "AL",   "AX",
      "CL",   "One", "Moffs8", "Moffs16", "I8",   "I16", "S8",     "SReg",    "Rel8", "Rel16"};
  for (const Form &f : InstructionForms()) {
    std::cout << "{\"mnemonic\": " << Json(std::string(f.mnemonic)) << ", \"dst\": \""
              << kShapes[static_cast<int>(f.dst)] << "\", \"src\": \""
              << kShapes[static_cast<int>(f.src)] << "\", \"size\": " << int(f.size)
              << ", \"opcode\": [" << int(f.opcode[0]);
    if (f.opcode[0] == 0x0F) std::cout << ", " << int(f.opcode[1]);
    std::cout << "], \"ext\": " << int(f.ext) << ", \"modrm\": " << (HasModRm(f) ? "true" : "false")
              << "}\n";
  }
  return 0;
}
} // namespace

int main(int argc, char **argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "states") return States();
  if (mode == "programs") return Programs();
  if (mode == "forms") return Forms();
  std::cerr << "usage: machine_driver states|programs|forms < input\n";
  return 2;
}
