// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A real main window for each test, in the one application object a process may have.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/view/tform1.h"

namespace palor {

// Tests that make windows: the one application object a process may have.
class QtTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "palor-window-test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
};

class WindowTest : public QtTest {
 protected:
  TForm1 form;
};

}  // namespace palor
