// The records against a real PostgreSQL server: a throwaway one that this
// test starts as the "postgres" system user (the server refuses root) in a
// folder under /tmp, on a free port. A server that cannot start fails every
// test with the reason.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "board/line_feed.h"
#include "people/audit_check.h"
#include "people/audit_trail.h"
#include "people/database.h"
#include "people/people_changes.h"
#include "people/pin_check.h"
#include "board/port_alarm.h"
#include "records/fixture_alarm.h"
#include "records/outbox.h"
#include "records/record_samples.h"
#include "records/report.h"
#include "records/schema.h"
#include "records/sqlite_store.h"
#include "records/store.h"
#include "records/unit_histories.h"
#include "records/unit_history.h"
#include "support/temp_dir.h"

namespace {

constexpr const char* kBin = "/usr/lib/postgresql/15/bin/";
constexpr const char* kPassword = "line-secret";

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

int free_port() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(fd);
    return -1;
  }
  close(fd);
  return ntohs(addr.sin_port);
}

class Server {
 public:
  Server() {
    char name[] = "/tmp/ffsload-pg-XXXXXX";
    if (!mkdtemp(name)) {
      error_ = "cannot make a folder under /tmp";
      return;
    }
    dir_ = name;
    // root may not run the server: the "postgres" user does, in its own folder.
    if (geteuid() == 0) {
      const passwd* pg = getpwnam("postgres");
      if (!pg) {
        error_ = "no \"postgres\" system user: install the postgresql package";
        return;
      }
      if (chown(dir_.c_str(), pg->pw_uid, pg->pw_gid) != 0) {
        error_ = "cannot give " + dir_ + " to postgres";
        return;
      }
      as_ = "runuser -u postgres -- ";
    }
    std::ofstream(dir_ + "/pw") << kPassword << "\n";
    if (!as_.empty()) std::system(("chown postgres " + dir_ + "/pw").c_str());
    port_ = free_port();
    const std::string initdb =
        as_ + kBin + "initdb -D " + dir_ + "/data -U postgres -E UTF8 " +
        "--auth-local=trust --auth-host=scram-sha-256 --no-sync --pwfile=" + dir_ + "/pw > " +
        dir_ + "/initdb.log 2>&1";
    if (std::system(initdb.c_str()) != 0) {
      error_ = "initdb failed (is postgresql-15 installed?): " + slurp(dir_ + "/initdb.log");
      return;
    }
    if (!start()) error_ = "the server did not start: " + slurp(dir_ + "/server.log");
  }

  ~Server() {
    if (!dir_.empty()) {
      stop();
      std::error_code ignored;
      std::filesystem::remove_all(dir_, ignored);
    }
  }

  bool start() {
    const std::string cmd = as_ + kBin + "pg_ctl -D " + dir_ + "/data -l " + dir_ +
                            "/server.log -w -t 30 -o \"-p " + std::to_string(port_) + " -k " +
                            dir_ + " -c listen_addresses=127.0.0.1 -c fsync=off\" start" +
                            " > /dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
  }
  bool stop() {
    const std::string cmd =
        as_ + kBin + "pg_ctl -D " + dir_ + "/data -m fast -w stop > /dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
  }

  const std::string& error() const { return error_; }
  std::string url(const std::string& password = kPassword,
                  const std::string& database = "postgres") const {
    return "postgresql://postgres:" + password + "@127.0.0.1:" + std::to_string(port_) + "/" +
           database;
  }

  // Runs SQL as the administrator would; "" or the server's message.
  std::string admin(const std::string& sql) const { return admin_on("postgres", sql); }

  // Runs SQL on a database of the server; "" or the server's message.
  std::string admin_on(const std::string& database, const std::string& sql) const {
    PGconn* conn = PQconnectdb(url(kPassword, database).c_str());
    PGresult* result = PQexec(conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    std::string error = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK
                            ? ""
                            : std::string(PQerrorMessage(conn));
    PQclear(result);
    PQfinish(conn);
    return error;
  }

  // A new, empty database of this name.
  std::string fresh_database(const std::string& name) const {
    const std::string error = admin("CREATE DATABASE " + name);
    return error.empty() ? url(kPassword, name) : "";
  }

 private:
  std::string dir_;
  std::string as_;
  std::string error_;
  int port_ = 0;
};

class PostgresRecords : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server = new Server; }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(server->error().empty()) << server->error(); }

  static long count(const std::string& location) {
    auto store = records::open_store(location, records::OpenFor::kReading);
    return std::stol(*store->query("SELECT count(*) FROM runs", {})[0][0]);
  }

  static Server* server;
  testing_support::TempDir dir;
};

Server* PostgresRecords::server = nullptr;

}  // namespace

TEST_F(PostgresRecords, records_and_the_report_go_through_the_server) {
  using testing_support::red_record;
  using testing_support::sample_record;
  const records::RunRecord runs[] = {
      red_record("1", "aa", 5, "mkfs", 0, 1), sample_record("1", "aa", "green", 0, 2),
      sample_record("1", "bb", "green", 0, 3), sample_record("2", "cc", "green", 1, 0)};
  for (const auto& r : runs) {
    const auto kept = records::keep_record(server->url(), "outbox.sqlite", r);
    ASSERT_TRUE(kept.stored) << kept.error;
  }
  // Sent twice (a station that died before its outbox forgot it): kept once.
  ASSERT_TRUE(records::keep_record(server->url(), "outbox.sqlite", runs[0]).stored);
  EXPECT_EQ(count(server->url()), 4);

  auto store = records::open_store(server->url(), records::OpenFor::kReading);
  EXPECT_EQ(
      store->query("SELECT imei, failed_line, started_at FROM runs ORDER BY id LIMIT 1", {})[0],
      (records::Row{"aa", "5", "2024-03-01T00:01:00.000Z"}));
  records::ReportFilter filter;
  filter.customer = "1";
  const auto rows = records::build_report(*store, filter);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].runs, 3);
  EXPECT_EQ(rows[0].handsets, 2);
  EXPECT_EQ(rows[0].first_runs, 2);
  EXPECT_EQ(rows[0].first_pass, 1);
  EXPECT_EQ(rows[0].failing_line, 5);
  EXPECT_EQ(rows[0].units, 2);
  EXPECT_EQ(rows[0].unit_first_pass, 1);
  EXPECT_EQ(rows[0].unit_final_pass, 2);
  // The grouped reports' statements, in the server's dialect.
  const auto ports = records::build_grouped_report(*store, filter, records::GroupBy::kPort, 3);
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_EQ(ports[0].customer, "station-a port 3");
  EXPECT_EQ(ports[0].red_streak, 0);
  EXPECT_EQ(records::build_grouped_report(*store, filter, records::GroupBy::kOperator, 3).size(),
            1u);
}

TEST_F(PostgresRecords, a_server_away_keeps_records_locally_until_it_answers) {
  const long before = count(server->url());
  ASSERT_TRUE(server->stop());
  const auto away = records::keep_record(server->url(), "outbox.sqlite",
                                         testing_support::sample_record("3", "dd", "red"));
  const bool restarted = server->start();
  ASSERT_TRUE(restarted) << "the server did not start again";
  EXPECT_FALSE(away.stored);
  EXPECT_TRUE(away.kept_locally) << away.outbox_error;
  EXPECT_NE(away.error.find("cannot be reached"), std::string::npos) << away.error;
  EXPECT_EQ(away.error.find(kPassword), std::string::npos) << away.error;

  const auto back = records::keep_record(server->url(), "outbox.sqlite",
                                         testing_support::sample_record("3", "dd", "green"));
  EXPECT_TRUE(back.stored) << back.error;
  EXPECT_EQ(back.forwarded, 1);
  EXPECT_EQ(count(server->url()), before + 2);
  EXPECT_EQ(count("outbox.sqlite"), 0);
}

TEST_F(PostgresRecords, bad_urls_and_credentials_say_why_and_keep_the_record) {
  const std::pair<std::string, std::string> cases[] = {
      {"postgresql://[::1/postgres", "malformed"},
      {"postgresql://postgres@no-such-host.invalid/postgres", "no-such-host.invalid"},
      {server->url("wrong"), "password authentication failed"},
  };
  int kept = 0;
  for (const auto& [url, why] : cases) {
    const auto result = records::keep_record(url, "outbox.sqlite",
                                             testing_support::sample_record("1", "ee", "green"));
    EXPECT_FALSE(result.stored) << url;
    EXPECT_TRUE(result.kept_locally) << url;
    EXPECT_NE(result.error.find(why), std::string::npos) << result.error;
    EXPECT_EQ(result.error.find("wrong"), std::string::npos) << result.error;
    EXPECT_EQ(count("outbox.sqlite"), ++kept);
  }
}

TEST_F(PostgresRecords,
       databases_of_every_earlier_schema_are_upgraded_in_place_and_keep_every_record) {
  auto sql = [](const std::string& url, const std::string& text) {
    PGconn* conn = PQconnectdb(url.c_str());
    PGresult* result = PQexec(conn, text.c_str());
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    const std::string why = PQerrorMessage(conn);
    PQclear(result);
    PQfinish(conn);
    return ok ? std::string() : why;
  };
  for (int version : {1, 2}) {
    const std::string name = "records_v" + std::to_string(version);
    ASSERT_EQ(sql(server->url(), "CREATE DATABASE " + name), "");
    std::string old_url = server->url();
    old_url.replace(old_url.rfind('/'), std::string::npos, "/" + name);
    std::string old = "BEGIN;";
    for (int step = 0; step < version; ++step) {
      for (const std::string& s : records::upgrade_step(records::Dialect::kPostgres, step))
        old += s + ";";
    }
    old += "UPDATE ffsload_schema SET version = " + std::to_string(version) +
           ";"
           "INSERT INTO runs (uid, started_at, ended_at, station, port, device, customer, "
           "script, ma_no, imei, outcome, log, tool_version) VALUES ('old-1', "
           "'2024-03-01T00:00:00.000Z', '2024-03-01T00:00:09.000Z', 'st', 3, '/dev/ttyS2', '1', "
           "'main.tms', 'MA', 'aa', 'green', 'l', '0.9');COMMIT";
    ASSERT_EQ(sql(old_url, old), "");

    records::RunRecord interrupted = testing_support::sample_record("1", "bb", "interrupted");
    interrupted.imei_fate = "pending";
    interrupted.unit_serial = "SN-1";
    interrupted.operator_id = "anna";
    interrupted.attempt = 2;
    interrupted.fixture = "/dev/serial/by-id/usb-FTDI-if00";
    const auto kept = records::keep_record(old_url, "outbox.sqlite", interrupted);
    ASSERT_TRUE(kept.stored) << kept.error;
    auto store = records::open_store(old_url, records::OpenFor::kReading);
    EXPECT_EQ(store->query("SELECT uid, outcome, imei_fate, unit_serial, operator, attempt, "
                           "fixture FROM runs ORDER BY id",
                           {}),
              (std::vector<records::Row>{{"old-1", "green", std::nullopt, std::nullopt,
                                          std::nullopt, std::nullopt, std::nullopt},
                                         {interrupted.uid, "interrupted", "pending", "SN-1", "anna",
                                          "2", "/dev/serial/by-id/usb-FTDI-if00"}}))
        << "from version " << version;
    EXPECT_EQ(store->query("SELECT version FROM ffsload_schema", {})[0][0],
              std::to_string(records::kSchemaVersion));
    // The alarm's and the attempt's questions, as the stations ask them.
    EXPECT_EQ(records::unit_history_by_serial(*store, "station-a", "SN-1", "x").earlier_runs, 1);
    EXPECT_EQ(records::port_fixture_alarm(*store, "station-a", 3, 3).red_runs, 0);
  }
}

TEST_F(PostgresRecords, stations_starting_together_on_a_new_database_store_every_record) {
  const std::string url = server->fresh_database("fresh_line");
  ASSERT_FALSE(url.empty());
  constexpr int kStations = 8;
  std::vector<records::KeepResult> results(kStations);
  std::vector<std::thread> stations;
  for (int i = 0; i < kStations; ++i) {
    stations.emplace_back([&, i] {
      results[static_cast<std::size_t>(i)] =
          records::keep_record(url, dir.path() + "/outbox" + std::to_string(i) + ".sqlite",
                               testing_support::sample_record("1", "aa", "green", 0, i));
    });
  }
  for (auto& s : stations) s.join();
  for (const auto& r : results) EXPECT_TRUE(r.stored) << r.error;
  EXPECT_EQ(count(url), kStations);
}

TEST_F(PostgresRecords, latin1_text_is_stored_and_a_refused_record_holds_back_no_other) {
  const std::string url = server->fresh_database("refusing_line");
  ASSERT_FALSE(url.empty());
  auto latin1 = testing_support::sample_record("1", "aa", "green", 0, 0);
  latin1.ma_no = "ORD\xC4NDERT";
  const auto stored = records::keep_record(url, "outbox.sqlite", latin1);
  ASSERT_TRUE(stored.stored) << stored.error;
  auto store = records::open_store(url, records::OpenFor::kReading);
  EXPECT_EQ(store->query("SELECT ma_no FROM runs", {})[0][0], "ORD\xC3\x84NDERT");

  // The database refuses one record for what it holds; the records kept
  // before and after it still go through, each on its own.
  PGconn* conn = PQconnectdb(url.c_str());
  PQclear(PQexec(conn, "ALTER TABLE runs ADD CONSTRAINT no_refused CHECK (ma_no <> 'REFUSED')"));
  PQfinish(conn);
  auto bad = testing_support::sample_record("1", "bb", "green", 0, 2);
  bad.ma_no = "REFUSED";
  for (const auto& r : {testing_support::sample_record("1", "cc", "green", 0, 1), bad,
                        testing_support::sample_record("1", "dd", "green", 0, 3)}) {
    ASSERT_TRUE(
        records::keep_record("postgresql://postgres@no-such-host.invalid/x", "outbox.sqlite", r)
            .kept_locally);
  }
  const auto back = records::keep_record(url, "outbox.sqlite",
                                         testing_support::sample_record("1", "ee", "green", 0, 4));
  EXPECT_TRUE(back.stored) << back.error;
  EXPECT_EQ(back.forwarded, 2);
  EXPECT_EQ(back.set_aside, 1);
  EXPECT_NE(back.refusal.find("no_refused"), std::string::npos) << back.refusal;
  EXPECT_EQ(count(url), 4);
  records::SqliteStore outbox("outbox.sqlite", records::OpenFor::kReading);
  EXPECT_EQ(outbox.waiting_count(), 0);
  EXPECT_EQ(outbox.set_aside_count(), 1);
}

TEST_F(PostgresRecords, awkward_unit_histories_count_as_on_sqlite) {
  const std::string url = server->fresh_database("unit_histories");
  ASSERT_FALSE(url.empty());
  records::open_store(url, records::OpenFor::kWriting)
      ->append(testing_support::awkward_unit_histories());
  auto store = records::open_store(url, records::OpenFor::kReading);
  testing_support::expect_awkward_histories_report(*store);
  // A row the caller refuses ends the read, and the connection answers the
  // next query.
  EXPECT_THROW(store->for_each_row("SELECT id FROM runs", {},
                                   [](const records::Row&) { throw records::StoreError("no"); }),
               records::StoreError);
  EXPECT_THROW(
      store->for_each_row("SELECT no_such_column FROM runs", {}, [](const records::Row&) {}),
      records::StoreError);
  EXPECT_EQ(store->query("SELECT count(*) FROM runs", {})[0][0], "16");
}

// A board reading a factory's database while the runs are emptied, and while
// the database is dropped and made again: said at the next poll, and the
// runs recorded since then shown, never the old ones.
TEST_F(PostgresRecords, a_board_notices_its_database_emptied_or_made_again) {
  const std::string url = server->fresh_database("board_again");
  ASSERT_FALSE(url.empty());
  auto keep = [&](int port) {
    records::RunRecord r = testing_support::sample_record("1", nullptr, "green");
    r.port = port;
    r.uid = "board-again-" + std::to_string(port);
    const auto kept = records::keep_record(url, "outbox.sqlite", r);
    ASSERT_TRUE(kept.stored) << kept.error;
  };
  keep(1);
  board::FeedOptions options;
  options.location = url;
  options.alarm_rule = board::fixture_alarm_rule(3);
  board::LineFeed feed(options);
  feed.poll_once();
  ASSERT_TRUE(feed.current()->store_ok) << feed.current()->reason;
  EXPECT_NE(feed.current()->ports_json.find("\"port\":1"), std::string::npos);

  // Emptied: the ids start over, which a board waiting for higher ones would
  // never see.
  ASSERT_EQ(server->admin_on("board_again", "TRUNCATE runs RESTART IDENTITY"), "");
  keep(2);
  feed.poll_once();
  EXPECT_FALSE(feed.current()->store_ok);
  EXPECT_NE(feed.current()->reason.find("its runs were emptied"), std::string::npos)
      << feed.current()->reason;
  EXPECT_EQ(feed.current()->reason.find(kPassword), std::string::npos);
  feed.poll_once();
  ASSERT_TRUE(feed.current()->store_ok) << feed.current()->reason;
  EXPECT_EQ(feed.current()->ports_json.find("\"port\":1"), std::string::npos);
  EXPECT_NE(feed.current()->ports_json.find("\"port\":2"), std::string::npos);

  // Dropped and made again, the same, by the next station that records.
  ASSERT_EQ(server->admin("DROP DATABASE board_again WITH (FORCE)"), "");
  feed.poll_once();
  EXPECT_FALSE(feed.current()->store_ok);
  ASSERT_EQ(server->admin("CREATE DATABASE board_again"), "");
  keep(3);
  feed.poll_once();
  ASSERT_TRUE(feed.current()->store_ok) << feed.current()->reason;
  EXPECT_EQ(feed.current()->ports_json.find("\"port\":2"), std::string::npos);
  EXPECT_NE(feed.current()->ports_json.find("\"port\":3"), std::string::npos);
}

TEST_F(PostgresRecords, a_board_shows_a_run_committed_after_seventy_later_ones) {
  const std::string url = server->fresh_database("board_late");
  ASSERT_FALSE(url.empty());
  auto run_on_port = [](int port) {
    records::RunRecord r = testing_support::sample_record("1", nullptr, "green");
    r.port = port;
    r.uid = "board-late-" + std::to_string(port);
    return r;
  };
  ASSERT_TRUE(records::keep_record(url, "outbox.sqlite", run_on_port(1)).stored);
  board::FeedOptions options;
  options.location = url;
  options.alarm_rule = board::fixture_alarm_rule(3);
  board::LineFeed feed(options);
  feed.poll_once();
  ASSERT_TRUE(feed.current()->store_ok) << feed.current()->reason;

  // One station's copy takes its id and waits to commit (a network hiccup)
  // while seventy others commit.
  PGconn* held = PQconnectdb(url.c_str());
  ASSERT_EQ(PQstatus(held), CONNECTION_OK) << PQerrorMessage(held);
  auto exec = [held](const char* sql) { PQclear(PQexec(held, sql)); };
  exec("BEGIN");
  const auto values = records::record_values(run_on_port(99));
  std::vector<const char*> params;
  for (const auto& v : values) params.push_back(v ? v->c_str() : nullptr);
  PGresult* inserted =
      PQexecParams(held, records::insert_statement(records::Dialect::kPostgres).c_str(),
                   static_cast<int>(params.size()), nullptr, params.data(), nullptr, nullptr, 0);
  ASSERT_EQ(PQresultStatus(inserted), PGRES_COMMAND_OK) << PQerrorMessage(held);
  PQclear(inserted);
  for (int port = 100; port < 170; ++port) {
    ASSERT_TRUE(records::keep_record(url, "outbox.sqlite", run_on_port(port)).stored);
  }
  feed.poll_once();
  EXPECT_NE(feed.current()->ports_json.find("\"port\":169"), std::string::npos);
  EXPECT_EQ(feed.current()->ports_json.find("\"port\":99,"), std::string::npos);

  exec("COMMIT");
  PQfinish(held);
  feed.poll_once();
  EXPECT_NE(feed.current()->ports_json.find("\"port\":99,"), std::string::npos)
      << "the run committed late never reached the board";
}

TEST_F(PostgresRecords, a_runs_copies_share_one_connection_opened_again_when_the_server_drops_it) {
  const std::string url = server->fresh_database("one_connection");
  ASSERT_FALSE(url.empty());
  PGconn* watch = PQconnectdb(url.c_str());
  ASSERT_EQ(PQstatus(watch), CONNECTION_OK) << PQerrorMessage(watch);
  auto ours = [watch](const char* sql) {
    PGresult* r = PQexec(watch, (std::string(sql) +
                                 " FROM pg_stat_activity WHERE datname = current_database() "
                                 "AND application_name = 'ffsload'")
                                    .c_str());
    const std::string value = PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
    PQclear(r);
    return value;
  };
  records::RecordKeeper keeper;
  records::RunRecord r = testing_support::sample_record("1", nullptr, "running");
  r.uid = "one-connection";
  std::string first;
  for (int revision = 1; revision <= 3; ++revision) {
    r.revision = revision;
    const auto kept = keeper.keep(url, "outbox.sqlite", r);
    EXPECT_TRUE(kept.stored) << kept.error;
    const std::string backend = ours("SELECT string_agg(pid::text, ',')");
    if (first.empty()) first = backend;
    EXPECT_EQ(backend, first) << "a copy of the run opened a connection of its own";
  }
  // A server restart or an idle limit drops the run's connection: its end
  // copy still reaches the store, on a new one.
  ours("SELECT count(pg_terminate_backend(pid))");
  r.revision = 4;
  r.outcome = "green";
  const auto ended = keeper.keep(url, "outbox.sqlite", r);
  EXPECT_TRUE(ended.stored) << ended.error;
  EXPECT_FALSE(ended.kept_locally);
  EXPECT_EQ(ours("SELECT count(*)"), "1");
  keeper.close();
  EXPECT_EQ(ours("SELECT count(*)"), "0");
  PQfinish(watch);
  auto store = records::open_store(url, records::OpenFor::kReading);
  EXPECT_EQ(store->query("SELECT outcome, revision FROM runs", {}),
            (std::vector<records::Row>{{"green", "4"}}));
}

// The people and the audit trail in the line's database: stations that meet
// a database without the tables make them once; each station's chain stays
// whole while the ports of two stations write at the same moments; the
// runs are written beside them as before.
TEST_F(PostgresRecords, stations_share_the_people_and_keep_a_chain_each) {
  const std::string url = server->fresh_database("people_line");
  ASSERT_FALSE(url.empty());
  constexpr int kWriters = 8;
  constexpr int kEvents = 25;
  std::vector<std::string> errors(kWriters);
  std::vector<std::thread> writers;
  for (int i = 0; i < kWriters; ++i) {
    writers.emplace_back([&, i] {
      try {
        auto db = people::open_database(url, people::Access::kWriting);
        for (int e = 0; e < kEvents; ++e) {
          people::AuditEvent event;
          event.station = i % 2 ? "station-a" : "station-b";
          event.kind = people::kind::kRunEnd;
          event.actor = "olga";
          event.what = "port " + std::to_string(i);
          people::record_event(*db, event);
        }
      } catch (const std::exception& e) {
        errors[static_cast<std::size_t>(i)] = e.what();
      }
    });
  }
  for (auto& w : writers) w.join();
  for (const auto& e : errors) EXPECT_EQ(e, "");
  auto db = people::open_database(url, people::Access::kWriting);
  const people::TrailCheck check = people::check_trail(*db);
  EXPECT_TRUE(check.holds()) << (check.breaks.empty() ? "" : check.breaks[0]);
  ASSERT_EQ(check.heads.size(), 2u);
  EXPECT_EQ(check.heads[0].number, kWriters / 2 * kEvents);

  // One engineer for the line; another station finds her, and a wrong PIN
  // there counts towards the same lock-out.
  people::Pin pin;
  std::string("2468").copy(pin.buffer(), people::Pin::kCapacity);
  pin.set_length(4);
  const people::LoginRules rules{2, 60'000, people::quickest_pin_cost()};
  ASSERT_TRUE(people::add_person(*db, {"erik", people::Role::kEngineer, "", std::nullopt}, pin,
                                 std::nullopt, rules, 1000, "station-a")
                  .done());
  auto other = people::open_database(url, people::Access::kWriting);
  EXPECT_TRUE(people::check_person(*other, "erik", pin, people::Role::kEngineer,
                                   people::CheckFor::kLogin, rules, 2000, "station-b")
                  .accepted());
  people::Pin wrong;
  std::string("1357").copy(wrong.buffer(), people::Pin::kCapacity);
  wrong.set_length(4);
  for (auto* station : {db.get(), other.get()}) {
    people::check_person(*station, "erik", wrong, people::Role::kOperator,
                         people::CheckFor::kLogin, rules, 3000, "station-b");
  }
  EXPECT_EQ(people::check_person(*db, "erik", pin, people::Role::kOperator,
                                 people::CheckFor::kLogin, rules, 4000, "station-a")
                .verdict,
            people::Verdict::kLockedOut);
  EXPECT_TRUE(people::check_trail(*db).holds());

  // Runs go on beside them, in the schema they always had.
  const auto kept = records::keep_record(url, dir.path() + "/outbox.sqlite",
                                         testing_support::sample_record("1", "aa", "green", 0, 1));
  EXPECT_TRUE(kept.stored) << kept.error;
  EXPECT_EQ(count(url), 1);
}
