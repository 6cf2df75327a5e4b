// SPDX-License-Identifier: GPL-3.0-or-later
// Several desks on one PostgreSQL server of the test's own: palorctl writes on simulated
// chargers at once, each recording into the one database; a capcode that one desk wrote is
// reported at another; a server stopped during a write loses no record: it is kept on the
// desk and delivered once when the server is back.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "postgres_server.h"
#include "run_command.h"
#include "sim_process.h"
#include "temp_folder.h"
#include "ui/messages.h"

namespace palor {
namespace {

using namespace std::chrono_literals;

// A simulated charger with a pager as the simulator starts it.
struct Charger {
  Charger() : sim({"--quiet"}), port(sim.readLine()) {}
  test::SimProcess sim;
  std::string port;
};

class RecordsOnAServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::PostgresServer::programsFound()) GTEST_SKIP() << "no PostgreSQL server programs";
    server = std::make_unique<test::PostgresServer>();
  }

  // palorctl at a desk whose own records file (where records wait for the server) is in
  // `desk`'s folder, recording on the server.
  test::CommandResult palorctl(const std::string& desk, const std::string& args) {
    const std::string data = folder.path(desk);
    std::filesystem::create_directories(data);
    return test::runCommand("XDG_DATA_HOME=" + data + " PALOR_RECORDS='" + server->uri() + "' " +
                            PALORCTL_PATH + " " + args);
  }
  nlohmann::json history(const std::string& desk) {
    const auto run = palorctl(desk, "history --json");
    EXPECT_EQ(run.status, 0) << run.err;
    return run.status == 0 ? nlohmann::json::parse(run.out) : nlohmann::json::array();
  }
  // The records of the pager numbered `number`.
  static int countOf(const nlohmann::json& list, const std::string& number) {
    int n = 0;
    for (const auto& record : list) n += record["pager_number"] == number;
    return n;
  }

  test::TempFolder folder{"palor-records-pg"};
  std::unique_ptr<test::PostgresServer> server;
};

TEST_F(RecordsOnAServer, DesksShareOneDatabaseAndAStoppedServerLosesNoRecord) {
  // Two desks write at the same moment, each its own pager.
  {
    Charger a, b;
    test::CommandResult runA, runB;
    std::thread deskA([&] {
      runA = palorctl(
          "a", "write --set TxtPagerNumber=00000300 --set address1=1111112 --port " + a.port);
    });
    std::thread deskB([&] {
      runB = palorctl(
          "b", "write --set TxtPagerNumber=00000400 --set address1=1222224 --port " + b.port);
    });
    deskA.join();
    deskB.join();
    ASSERT_EQ(runA.status, 0) << runA.err;
    ASSERT_EQ(runB.status, 0) << runB.err;
  }
  nlohmann::json list = history("a");
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(countOf(list, "301"), 1);
  EXPECT_EQ(countOf(list, "401"), 1);

  // Desk b writes desk a's capcode on a third pager: reported there.
  {
    Charger c;
    const auto run = palorctl("b",
                              "write --set TxtPagerNumber=00000500 --set address1=1111112 "
                              "--port " +
                                  c.port);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Address 1111112 is already on pager 301 (written "), std::string::npos)
        << run.err;
  }

  // The server stops while desk a writes a fourth pager: the write goes on, its record waits
  // on the desk, and the next sync delivers it, once.
  {
    Charger d;
    test::CommandResult run;
    std::thread deskA(
        [&] { run = palorctl("a", "write --set TxtPagerNumber=00000600 --port " + d.port); });
    std::this_thread::sleep_for(1s);  // the pager is being read
    ASSERT_TRUE(server->stop());
    deskA.join();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find(std::string(msg::kRecordsKeptOnDesk) + "\n"), std::string::npos)
        << run.err;
  }
  ASSERT_TRUE(server->start()) << server->logText();
  EXPECT_EQ(countOf(history("b"), "601"), 0) << "not on the server yet";
  const auto sync = palorctl("a", "history sync");
  EXPECT_EQ(sync.status, 0) << sync.err;
  EXPECT_EQ(sync.out.rfind("1 records delivered", 0), 0u) << sync.out;
  const auto again = palorctl("a", "history sync");
  EXPECT_EQ(again.out.rfind("0 records delivered", 0), 0u) << again.out;
  list = history("b");
  EXPECT_EQ(list.size(), 4u);
  EXPECT_EQ(countOf(list, "601"), 1);
}

}  // namespace
}  // namespace palor
