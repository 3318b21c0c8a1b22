#include "views/listing.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "engine/engine.h"
#include "os/terminal.h"
#include "views/describe.h"

namespace {
// The cycle of paints for the constructs, in their order in the listing.
constexpr Paint kCycle[] = {Paint::Cyan,    Paint::Yellow, Paint::Green,
                            Paint::Magenta, Paint::Blue,   Paint::Red};

std::string AsmRow(uint32_t line) {
  return "        " + RightAligned(line, 5) + "  " + std::string(EngineAsmLine(line));
}

bool IsFrame(ConstructKind kind) {
  return kind == ConstructKind::Header || kind == ConstructKind::Constant ||
         kind == ConstructKind::Variable || kind == ConstructKind::CodeStart ||
         kind == ConstructKind::Exit;
}

// "1-21, 129-131" for the ranges that `take` picks, runs of lines joined.
template <typename Take> std::string Spans(Take take, uint32_t &count) {
  std::string out;
  uint32_t from = 0, to = 0;
  count = 0;
  auto flush = [&] {
    if (from == 0) return;
    out += (out.empty() ? "" : ", ") + std::to_string(from) +
           (to > from ? "-" + std::to_string(to) : "");
  };
  for (size_t i = 0; i < EngineRangeCount(); i++) {
    const EngineRange &r = EngineRangeAt(i);
    if (!take(r.kind)) continue;
    count += r.to - r.from + 1;
    if (from != 0 && r.from == to + 1) {
      to = r.to;
      continue;
    }
    flush();
    from = r.from;
    to = r.to;
  }
  flush();
  return out;
}

// The lines of the ranges that `take` picks, in full.
template <typename Take> std::string Lines(Take take) {
  std::string out;
  for (size_t i = 0; i < EngineRangeCount(); i++) {
    const EngineRange &r = EngineRangeAt(i);
    if (take(r.kind))
      for (uint32_t line = r.from; line <= r.to; line++) out += AsmRow(line) + "\n";
  }
  return out;
}
} // namespace

std::string ListingText(bool all, bool colours) {
  std::string out;
  uint32_t frameLines, runtimeLines;
  auto frame = [](ConstructKind k) { return IsFrame(k); };
  auto front = [](ConstructKind k) { return IsFrame(k) && k != ConstructKind::Exit; };
  auto back = [](ConstructKind k) {
    return k == ConstructKind::Exit || k == ConstructKind::Runtime;
  };
  auto runtime = [](ConstructKind k) { return k == ConstructKind::Runtime; };
  std::string frameSpans = Spans(frame, frameLines);
  std::string runtimeSpans = Spans(runtime, runtimeLines);
  if (all)
    out += "the frame: data, variables, code start\n" + Lines(front);
  else
    out += "out1.asm " + frameSpans + ": the frame (data, variables, code start, exit), " +
           std::to_string(frameLines) + " lines; --listing-all shows them\n";

  // Each range of a construct under the source line the construct begins on, in the order of
  // out1.asm; a range after the ranges of constructs inside it (the end of an IF, a loop's jump
  // back) under the line the construct ends on.
  std::vector<bool> interrupted(EngineConstructCount(), false);
  std::vector<std::vector<size_t>> onLine(EngineSourceLineCount() + 1);
  for (size_t i = 0; i < EngineRangeCount(); i++) {
    int32_t c = EngineRangeAt(i).construct;
    if (c < 0) continue;
    const EngineConstruct &construct = EngineConstructAt(static_cast<size_t>(c));
    uint32_t line = interrupted[static_cast<size_t>(c)] ? construct.endLine : construct.line;
    onLine[std::min<size_t>(line, onLine.size() - 1)].push_back(i);
    for (int32_t up = construct.parent; up >= 0;
         up = EngineConstructAt(static_cast<size_t>(up)).parent)
      interrupted[static_cast<size_t>(up)] = true;
  }
  // A paint for each construct, in the order they first show.
  std::vector<int> paintOf(EngineConstructCount(), -1);
  int paints = 0;
  for (uint32_t line = 1; line <= EngineSourceLineCount(); line++) {
    out += RightAligned(line, 4) + "  " + std::string(EngineSourceLine(line)) + "\n";
    int32_t shown = -1;
    for (size_t r : onLine[line]) {
      const EngineRange &range = EngineRangeAt(r);
      const EngineConstruct &c = EngineConstructAt(static_cast<size_t>(range.construct));
      std::vector<std::string> rows;
      if (range.construct != shown)
        rows.push_back("      " + std::string(ConstructKindWords(c.kind)) + ": " +
                       Shorten(c.text, 60));
      shown = range.construct;
      for (uint32_t asmLine = range.from; asmLine <= range.to; asmLine++)
        rows.push_back(AsmRow(asmLine));
      int &paint = paintOf[static_cast<size_t>(range.construct)];
      if (paint < 0) paint = paints++;
      for (const std::string &row : rows)
        out +=
            (colours ? Painted(row, kCycle[static_cast<size_t>(paint) % std::size(kCycle)]) : row) +
            "\n";
    }
  }
  if (all)
    out += "the exit and the runtime\n" + Lines(back);
  else
    out += "out1.asm " + runtimeSpans + ": the runtime, " + std::to_string(runtimeLines) +
           " lines; --listing-all shows them\n";
  return out;
}
