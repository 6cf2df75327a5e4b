// SPDX-License-Identifier: GPL-3.0-or-later
// The real window, offscreen, against the real simulator over a pseudo-terminal: it finds
// the charger by itself, reads and writes the pager, and says goodbye when it closes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "sim_process.h"
#include "simulated_pager.h"
#include "temp_folder.h"
#include "ui/messages.h"
#include "ui/view/tform1.h"
#include "window_test_fixture.h"

namespace palor {
namespace {

using namespace std::chrono_literals;

using test::scratchPath;

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class WindowLink : public QtTest {
 protected:
  bool logHas(std::string_view line) const {
    const auto& lines = window->state().log().lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  bool waitForLine(std::string_view line, int ms) {
    return QTest::qWaitFor([&] { return logHas(line); }, ms);
  }

  std::unique_ptr<TForm1> window;
};

TEST_F(WindowLink, ConnectsReadsWritesAndClosesTheLink) {
  const std::string image = scratchPath("pager.bin");
  const ConfigImage pager = test::programmedPagerImage();
  std::ofstream(image, std::ios::binary).write(reinterpret_cast<const char*>(pager.data()), 1024);
  const std::string events = scratchPath("events");
  test::SimProcess sim({"--image", image, "--save"}, events);
  const std::string port = sim.readLine();
  ASSERT_FALSE(port.empty());
  ::setenv("PALOR_EXTRA_PORTS", port.c_str(), 1);
  window = std::make_unique<TForm1>();
  ::unsetenv("PALOR_EXTRA_PORTS");
  window->show();

  ASSERT_TRUE(waitForLine(msg::kDururoveraConnected, 5000)) << "found by itself";
  ASSERT_TRUE(waitForLine(msg::kPagerConnected, 10000));
  auto* read = window->findChild<QAction*>("ReadFromPager");
  auto* write = window->findChild<QAction*>("WriteToPager");
  auto* progress = window->findChild<QProgressBar*>("ProgressBar1");
  auto* hello = window->findChild<QLineEdit*>("hellomsg1");
  ASSERT_TRUE(read->isEnabled() && write->isEnabled());

  read->trigger();
  EXPECT_TRUE(progress->isVisible()) << "shown while the pager is read";
  EXPECT_EQ(window->findChild<QLabel*>("LblInfoRWPager")->text(), "Reading pager. Do not remove.");
  EXPECT_FALSE(read->isEnabled());
  ASSERT_TRUE(waitForLine(msg::kReadEepromOk, 5000));
  EXPECT_FALSE(progress->isVisible());
  EXPECT_EQ(hello->text(), "HELLO PAGER   ") << "the window shows what the pager holds";

  window->state().record().setText("hellomsg1", "FROM WINDOW");
  write->trigger();
  ASSERT_TRUE(waitForLine(msg::kWriteEepromCompleted, 20000));
  EXPECT_FALSE(progress->isVisible());
  EXPECT_TRUE(read->isEnabled());

  window->close();
  window.reset();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return fileText(events).find("closing command") != std::string::npos; }, 2000))
      << fileText(events);
  FormState written;
  written.startUp();
  EXPECT_TRUE(written.OpenConfigurationFile(image));
  EXPECT_EQ(written.record().text("hellomsg1"), "FROM WINDOW   ");
  std::filesystem::remove(image);
  std::filesystem::remove(events);
}

}  // namespace
}  // namespace palor
