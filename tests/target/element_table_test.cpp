#include "target/element_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "target/target_error.h"

namespace {

namespace fs = std::filesystem;

TEST(ElementTable, AFolderWithoutTheTablesIsNamedInTheMessage) {
  const fs::path empty = fs::temp_directory_path() / "tervane-no-stopping-data";
  fs::create_directories(empty);
  try {
    ElementTable::load(empty);
    ADD_FAILURE() << "loaded";
  } catch (const TargetError& error) {
    EXPECT_NE(std::string(error.what()).find("proton_elements.csv"), std::string::npos);
  }
  fs::remove_all(empty);
}

TEST(ElementTable, TheDataDirectoryVariableComesFirst) {
  const fs::path data = fs::temp_directory_path() / "tervane-data-dir";
  fs::create_directories(data / "stopping");
  std::ofstream(data / "stopping" / "proton_elements.csv") << "Z\n";
  ::setenv("TERVANE_DATA_DIR", data.c_str(), 1);
  EXPECT_EQ(locateStoppingData(), (data / "stopping").lexically_normal());
  ::unsetenv("TERVANE_DATA_DIR");
  EXPECT_NE(locateStoppingData(), (data / "stopping").lexically_normal());
  fs::remove_all(data);
}

}  // namespace
