#include "views/describe.h"

#include <cstdio>

std::string Shorten(std::string_view text, size_t max) {
  if (text.size() <= max) return std::string(text);
  return std::string(text.substr(0, max > 3 ? max - 3 : 0)) + "...";
}

std::string RightAligned(uint32_t n, size_t width) {
  std::string text = std::to_string(n);
  return std::string(text.size() < width ? width - text.size() : 0, ' ') + text;
}

void PadTo(std::string &text, size_t column) {
  text.append(text.size() + 2 <= column ? column - text.size() : 2, ' ');
}

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value);
  return text;
}

std::string ValueText(size_t variable, size_t max) {
  EngineValue value = EngineVariableValue(variable);
  if (!EngineVariableAt(variable).isString) return std::to_string(value.number);
  if (!value.terminated) return "(no \"$\")";
  // Printable runs in quotes, every other byte below 32 as #N between them.
  std::string out;
  bool quoted = false;
  size_t shown = 0;
  for (unsigned char c : value.text) {
    if (shown++ == max) {
      if (quoted) out += '\'';
      return out + "...";
    }
    if (c < 32 || c == 127) {
      if (quoted) out += '\'';
      quoted = false;
      out += '#' + std::to_string(c);
      continue;
    }
    if (!quoted) out += '\'';
    quoted = true;
    out += static_cast<char>(c);
    if (c == '\'') out += '\'';
  }
  if (quoted) out += '\'';
  return out.empty() ? "''" : out;
}

std::string ChangesText() {
  std::string out;
  for (size_t i = 0; i < EngineVariableCount(); i++) {
    if (!EngineVariableValue(i).changed) continue;
    if (!out.empty()) out += ", ";
    out += std::string(EngineVariableAt(i).name) + " = " + ValueText(i);
  }
  return out;
}

std::string StatementText(int32_t statement, size_t max) {
  if (statement < 0) return "";
  const EngineStatement &s = EngineStatementAt(static_cast<size_t>(statement));
  if (s.construct < 0) return std::string(s.text);
  return "line " + std::to_string(s.line) + ": " + Shorten(s.text, max);
}

std::string SiteText() {
  EngineSite site = EngineStopSite();
  if (site.statement < 0 && site.construct < 0) return "";
  std::string where = site.routine.empty() ? "in " : "in " + std::string(site.routine) + " for ";
  if (site.construct < 0) return where + StatementText(site.statement);
  const EngineConstruct &c = EngineConstructAt(static_cast<size_t>(site.construct));
  std::string kind(ConstructKindWords(c.kind));
  if (site.statement < 0)
    return where + "line " + std::to_string(c.line) + ": " + Shorten(c.text, 60) + " (" + kind +
           ")";
  // An item is named within its statement.
  bool item = c.kind == ConstructKind::ReadItem || c.kind == ConstructKind::WriteItem ||
              c.kind == ConstructKind::WriteText;
  return where + StatementText(site.statement) + " (" + kind +
         (item ? " " + Shorten(c.text, 30) : "") + ")";
}

std::string HangingLoopText() {
  int32_t loop = EngineHangingLoop();
  if (loop < 0) return "";
  const EngineConstruct &c = EngineConstructAt(static_cast<size_t>(loop));
  // The loop by its head: the statement of its condition or its limit.
  std::string head;
  for (size_t i = static_cast<size_t>(loop) + 1; i < EngineConstructCount(); i++) {
    const EngineConstruct &part = EngineConstructAt(i);
    if (part.parent != loop) continue;
    if (part.kind == ConstructKind::WhileCondition || part.kind == ConstructKind::ForLimit ||
        part.kind == ConstructKind::RepeatUntil) {
      const EngineStatement &s = EngineStatementAt(static_cast<size_t>(part.statement));
      head = (part.kind == ConstructKind::RepeatUntil ? "REPEAT ... " : "") + Shorten(s.text, 60);
      break;
    }
  }
  return "in the " + std::string(ConstructKindWords(c.kind)) + " of line " +
         std::to_string(c.line) + (head.empty() ? "" : ": " + head);
}
