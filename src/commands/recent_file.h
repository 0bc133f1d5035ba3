#pragma once

#include <string>

// A file a user opened lately, for the "Recent files" list of the "&Data"
// menu: measured data or a profile.
enum class RecentKind { MeasuredData, Profile };

struct RecentFile {
  RecentKind kind = RecentKind::MeasuredData;
  std::string path;
  bool operator==(const RecentFile&) const = default;
};
