#include "target/chemical_formula.h"

#include <charconv>
#include <string>
#include <system_error>

#include "target/target_error.h"

namespace {

bool isUpper(char c) {
  return c >= 'A' && c <= 'Z';
}
bool isLower(char c) {
  return c >= 'a' && c <= 'z';
}
bool isCountCharacter(char c) {
  return (c >= '0' && c <= '9') || c == '.';
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

[[noreturn]] void malformed(std::string_view formula, std::size_t at) {
  throw TargetError("'" + std::string(formula) + "' is not a chemical formula: '" +
                    std::string(formula.substr(at)) + "' cannot be read.");
}

}  // namespace

std::vector<FormulaPart> parseChemicalFormula(std::string_view formula, const ElementTable& table) {
  const std::string_view text = trimmed(formula);
  if (text.empty()) throw TargetError("The composition is empty: type a formula such as Al2O3.");
  std::vector<FormulaPart> parts;
  std::size_t at = 0;
  while (at < text.size()) {
    if (!isUpper(text[at])) malformed(text, at);
    const std::size_t symbolStart = at++;
    while (at < text.size() && isLower(text[at])) ++at;
    const std::string_view symbol = text.substr(symbolStart, at - symbolStart);
    const ElementData* element = table.bySymbol(symbol);
    if (element == nullptr) {
      throw TargetError("Unknown element '" + std::string(symbol) + "' in the formula '" +
                        std::string(text) + "'.");
    }

    double count = 1.0;
    const std::size_t countStart = at;
    while (at < text.size() && isCountCharacter(text[at])) ++at;
    if (at > countStart) {
      const char* first = text.data() + countStart;
      const char* last = text.data() + at;
      const auto [stop, error] = std::from_chars(first, last, count, std::chars_format::fixed);
      if (error != std::errc() || stop != last || !(count > 0.0)) malformed(text, countStart);
    }

    bool added = false;
    for (FormulaPart& part : parts) {
      if (part.element == element) {
        part.count += count;
        added = true;
      }
    }
    if (!added) parts.push_back({element, count});
  }
  return parts;
}
