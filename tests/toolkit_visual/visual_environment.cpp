// Registers the classes once for every test of this program.
#include "app/all_classes.h"

#include <gtest/gtest.h>

namespace {
class VisualEnvironment : public ::testing::Environment {
public:
  void SetUp() override { RegisterAllClasses(); }
};
const auto* const registered = ::testing::AddGlobalTestEnvironment(new VisualEnvironment);
} // namespace
