// Tests that fire links need the gate open; each leaves it closed again, as the process starts.
#pragma once

#include <gtest/gtest.h>

#include "elements/event.h"

namespace elements {

class OpenGateTest : public ::testing::Test {
 protected:
  void SetUp() override { EventGate::open(); }
  void TearDown() override { EventGate::close(); }
};

}  // namespace elements
