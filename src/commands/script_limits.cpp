#include "commands/script_limits.h"

#include "commands/command_error.h"

std::string limitRefusal(const WholeNumberLimit& limit) {
  return std::string(limit.name) + " is a whole number from " + std::to_string(limit.lowest) +
         " to " + std::to_string(limit.highest) + ".";
}

std::string limitRefusal(const ChoiceLimit& limit, const std::string& value) {
  std::string text = std::string(limit.subject) + " \"" + limit.choices[0] + "\" or \"" +
                     limit.choices[1] + "\"";
  if (limit.namesValue) text += ", not '" + value + "'";
  return text + ".";
}

bool withinLimit(const WholeNumberLimit& limit, long long value) {
  return value >= limit.lowest && value <= limit.highest;
}

bool withinLimit(const ChoiceLimit& limit, const std::string& value) {
  return value == limit.choices[0] || value == limit.choices[1];
}

void checkLimit(const WholeNumberLimit& limit, long long value) {
  if (!withinLimit(limit, value)) throw CommandError(limitRefusal(limit));
}

void checkLimit(const ChoiceLimit& limit, const std::string& value) {
  if (!withinLimit(limit, value)) throw CommandError(limitRefusal(limit, value));
}
