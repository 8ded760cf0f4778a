// The board over HTTP, as a line's other systems and a browser meet it: an
// httplib client against the server on a free port of the loopback.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <thread>
#include <tuple>

#include "board/board_samples.h"
#include "board/board_server.h"
#include "board/port_alarm.h"
#include "records/sqlite_store.h"
#include "support/temp_dir.h"

namespace {

using board_testing::port_run;
using testing_support::test_time;

constexpr int kToday = 3;

class BoardHttp : public ::testing::Test {
 protected:
  void SetUp() override {
    path = dir.path() + "/runs.sqlite";
    record(port_run("st-a", 1, "green", kToday, 60, "aa01"));
    records::RunRecord hostile = port_run("st-a", 2, "red", kToday, 61, "aa02");
    hostile.script = "<script>alert(1)</script>.tms";
    hostile.failed_text = "fwr \"<img src=x onerror=alert(1)>\"";
    // Stored before such ids were refused: shown written out, never applied.
    hostile.operator_id = "ann\u202Ea";
    record(hostile);
    start();
  }
  void TearDown() override { stop(); }

  void start(board::ServerLimits limits = {}) {
    // The server refers to the feed and the queries: it goes first.
    server.reset();
    queries.reset();
    // The records as a server with its password in the URL; the tests' file
    // stands in for it.
    const std::string location = "postgresql://ffs:s3cret@db/line";
    board::FeedOptions options;
    options.location = location;
    options.now_ms = [] { return test_time(kToday, 12 * 60); };
    options.alarm_rule = board::fixture_alarm_rule(3);
    options.open = [this](const std::string&) -> std::unique_ptr<records::Store> {
      return std::make_unique<board_testing::FlakyStore>(
          records::open_store(path, records::OpenFor::kReading), away);
    };
    feed = std::make_unique<board::LineFeed>(options);
    feed->poll_once();
    queries = std::make_unique<board::StoreQueries>(
        location, [this](const std::string&) -> std::unique_ptr<records::Store> {
          return std::make_unique<board_testing::FlakyStore>(
              records::open_store(path, records::OpenFor::kReading), away);
        });
    server = std::make_unique<board::BoardServer>(*feed, *queries, limits,
                                                  [] { return test_time(kToday, 12 * 60); });
    std::string error;
    ASSERT_TRUE(server->bind("127.0.0.1", 0, &error)) << error;
    serving = std::thread([this] { server->serve(); });
    client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
    client->set_read_timeout(5, 0);
  }
  void stop() {
    if (server) server->stop();
    if (serving.joinable()) serving.join();
  }
  void record(const records::RunRecord& r) {
    records::SqliteStore store(path, records::OpenFor::kWriting);
    store.append(std::span(&r, 1));
  }
  // Status and body of a GET.
  std::pair<int, std::string> get(const std::string& target) {
    auto res = client->Get(target.c_str());
    if (!res) return {-1, httplib::to_string(res.error())};
    return {res->status, res->body};
  }

  testing_support::TempDir dir;
  std::string path;
  bool away = false;
  std::unique_ptr<board::LineFeed> feed;
  std::unique_ptr<board::StoreQueries> queries;
  std::unique_ptr<board::BoardServer> server;
  std::unique_ptr<httplib::Client> client;
  std::thread serving;
};

TEST_F(BoardHttp, the_api_answers_json_and_refuses_bad_queries_with_a_reason) {
  auto [status, body] = get("/api/ports");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(body.front(), '[');
  EXPECT_NE(body.find("\"station\":\"st-a\",\"port\":2"), std::string::npos);

  std::tie(status, body) = get("/api/runs?limit=1");
  EXPECT_EQ(status, 200);
  EXPECT_NE(body.find("\"port\":2"), std::string::npos) << "newest first: " << body;
  EXPECT_EQ(body.find("\"port\":1"), std::string::npos);
  std::tie(status, body) = get("/api/runs?since=2024-03-04T01:00:30.000Z");
  EXPECT_NE(body.find("\"port\":2"), std::string::npos);
  EXPECT_EQ(body.find("\"port\":1"), std::string::npos) << body;
  EXPECT_EQ(get("/api/runs?since=2024-03-04").first, 200);
  EXPECT_EQ(get("/api/runs?since=2024-03-04T01:00:30Z").first, 200);
  std::tie(status, body) = get("/api/yield?days=2");
  EXPECT_EQ(status, 200);
  EXPECT_NE(body.find("\"first_day\":\"2024-03-03\""), std::string::npos) << body;

  for (const char* bad :
       {"/api/runs?limit=0", "/api/runs?limit=1001", "/api/runs?limit=ten", "/api/runs?limit=-1",
        "/api/runs?limit=99999999999999999999", "/api/runs?since=yesterday",
        "/api/runs?since=2024-13-40", "/api/runs?since=2024-02-30T00:00:00Z",
        "/api/runs?limit=1&limit=2", "/api/runs?lmit=5", "/api/yield?days=0", "/api/yield?days=367",
        "/api/ports?x=1"}) {
    std::tie(status, body) = get(bad);
    EXPECT_EQ(status, 400) << bad;
    EXPECT_TRUE(body.starts_with("{\"error\":\"")) << bad << ": " << body;
  }
  EXPECT_EQ(get("/api/nothing").first, 404);
  EXPECT_EQ(get("/nothing.html").first, 404);
}

TEST_F(BoardHttp, station_texts_reach_the_client_as_text_and_the_page_as_built_in_files) {
  const auto [status, body] = get("/api/runs");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(body.find('<'), std::string::npos) << body;
  EXPECT_NE(body.find("\\u003cscript\\u003ealert(1)\\u003c/script\\u003e.tms"), std::string::npos);
  EXPECT_NE(body.find("\"operator\":\"ann\\\\u202Ea\""), std::string::npos) << body;
  EXPECT_EQ(body.find("\u202E"), std::string::npos) << body;

  auto page = client->Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("script-src 'self'"),
            std::string::npos);
  EXPECT_NE(page->body.find("<script src=\"/board.js\""), std::string::npos);
  auto script = client->Get("/board.js");
  ASSERT_TRUE(script);
  EXPECT_EQ(script->status, 200);
  EXPECT_EQ(script->body.find("innerHTML"), std::string::npos);
}

TEST_F(BoardHttp, the_page_comes_in_its_readers_language_and_the_api_stays_english) {
  auto page = [this](const std::string& target, const char* accept_language) {
    httplib::Headers headers;
    if (accept_language) headers.emplace("Accept-Language", accept_language);
    return client->Get(target.c_str(), headers);
  };
  for (const auto& [target, header, tag] :
       std::initializer_list<std::tuple<const char*, const char*, const char*>>{
           {"/", nullptr, "en"},
           {"/", "zh-CN,zh;q=0.9,en;q=0.8", "zh-CN"},
           {"/index.html", "zh-TW,zh;q=0.9", "en"},
           {"/", "fr;q=0.9, pt;q=0.8", "pt-BR"},
           {"/?lang=vi", "zh-CN", "vi"},
           {"/?lang=pt-BR", nullptr, "pt-BR"},
           {"/?lang=es", nullptr, "es"},
           {"/?lang=klingon", "vi", "en"},
           {"/", ";q=;;,,,==", "en"}}) {
    const auto res = page(target, header);
    ASSERT_TRUE(res) << target;
    EXPECT_EQ(res->status, 200) << target;
    EXPECT_NE(res->body.find("<html lang=\"" + std::string(tag) + "\">"), std::string::npos)
        << target << " with " << (header ? header : "no Accept-Language");
    EXPECT_EQ(res->get_header_value("Content-Language"), tag) << target;
    EXPECT_EQ(res->get_header_value("Vary"), "Accept-Language");
  }
  // The page takes its language and nothing else; its files take nothing.
  for (const char* bad : {"/?lang=vi&lang=es", "/?lnag=vi", "/?lang=vi&x=1", "/board.js?lang=vi"}) {
    const auto res = page(bad, nullptr);
    ASSERT_TRUE(res) << bad;
    EXPECT_EQ(res->status, 400) << bad;
  }
  // The API answers the same, in English, whatever language the reader asks for.
  for (const char* target : {"/api/ports", "/api/runs", "/api/yield"}) {
    const auto english = page(target, nullptr);
    const auto chinese = page(target, "zh-CN");
    ASSERT_TRUE(english && chinese) << target;
    EXPECT_EQ(english->body, chinese->body) << target;
    EXPECT_FALSE(chinese->has_header("Content-Language")) << target;
    EXPECT_EQ(page(std::string(target) + "?lang=zh_CN", nullptr)->status, 400) << target;
  }
}

TEST_F(BoardHttp, a_store_gone_is_503_with_a_reason_and_the_board_recovers) {
  away = true;
  feed->poll_once();
  for (const char* target : {"/api/ports", "/api/runs", "/api/yield"}) {
    const auto [status, body] = get(target);
    EXPECT_EQ(status, 503) << target;
    EXPECT_NE(body.find("connection refused"), std::string::npos) << target << ": " << body;
    EXPECT_EQ(body.find("s3cret"), std::string::npos) << body;
  }
  away = false;
  feed->poll_once();
  for (const char* target : {"/api/ports", "/api/runs", "/api/yield"}) {
    EXPECT_EQ(get(target).first, 200) << target;
  }
}

TEST_F(BoardHttp, requests_beyond_the_limits_are_refused) {
  // A body, which no route takes, beyond the payload limit.
  auto res = client->Post("/api/ports", std::string(4096, 'x'), "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 413);
  // A target beyond the request line's limit.
  res = client->Get(("/api/runs?since=" + std::string(10000, '1')).c_str());
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 414);
}

TEST_F(BoardHttp, live_pages_get_the_board_then_each_change_and_are_bounded) {
  stop();
  board::ServerLimits limits;
  limits.live_pages = 1;
  limits.heartbeat = std::chrono::seconds(1);
  start(limits);

  std::mutex mutex;
  std::string received;
  std::atomic<bool> enough{false};
  std::thread page([&] {
    httplib::Client live("127.0.0.1", server->port());
    live.set_read_timeout(10, 0);
    live.Get("/api/events", [&](const char* data, std::size_t length) {
      std::lock_guard lock(mutex);
      received.append(data, length);
      return !enough.load();
    });
  });
  auto wait_for = [&](const std::string& text) {
    for (int i = 0; i < 500; ++i) {
      {
        std::lock_guard lock(mutex);
        if (received.find(text) != std::string::npos) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  };
  ASSERT_TRUE(wait_for("\"full\":true")) << "the whole board first";
  EXPECT_TRUE(wait_for("\"port\":2"));

  // A second page while the first is open: beyond the limit of one.
  const auto [status, body] = get("/api/events");
  EXPECT_EQ(status, 503);
  EXPECT_NE(body.find("too many open pages"), std::string::npos);

  record(port_run("st-a", 3, "running", kToday, 70));
  feed->poll_once();
  EXPECT_TRUE(wait_for("\"port\":3,\"state\":\"running\""));
  EXPECT_TRUE(wait_for("\"full\":false"));
  EXPECT_TRUE(wait_for(": still here")) << "a quiet page hears from the board";
  enough = true;
  page.join();

  // The page gone, its place is free again (the releaser ran).
  for (int i = 0; i < 200 && server->live_pages() != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(server->live_pages(), 0u);
}

TEST_F(BoardHttp, stopping_ends_open_live_pages_at_once) {
  std::thread page([&] {
    httplib::Client live("127.0.0.1", server->port());
    live.set_read_timeout(30, 0);
    live.Get("/api/events", [&](const char*, std::size_t) { return true; });
  });
  for (int i = 0; i < 500 && server->live_pages() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(server->live_pages(), 1u);
  const auto before = std::chrono::steady_clock::now();
  stop();
  page.join();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
}

}  // namespace
