// Where the 32-bit Windows program runs under qemu-user (a kernel that refuses 32-bit
// programs), every start of it costs most of a minute of processor time. The Windows
// checks then tell the harness so with one variable,
//
//   TARSEL_I386_EMULATED=1
//
// and only the runs chosen for what differs in 32-bit code go ahead: the usage text,
// an official and a cut DivX run and a broken pack. Every other test skips itself
// and says why.
#pragma once

#include <gtest/gtest.h>

#include <string>

/// Whether the program under test runs under qemu-user.
bool UnderI386Emulation();

/// Whether the scenario `name` of the suite `suite` runs under emulation.
bool ScenarioChosenForEmulation(const std::string& suite, const std::string& name);

/// A test that runs the program: skipped under emulation unless chosen for it, and
/// wherever its fixture says it cannot run.
class ProgramRunTest : public ::testing::Test {
 protected:
  void SetUp() override;

  /// Why the fixture's tests cannot run under this launcher; empty where they can.
  virtual std::string WhyTheyCannotRunHere() const { return ""; }

  /// `why` when the program does not run natively, else empty.
  static std::string UnlessNative(const std::string& why);
};
