// ffsload-cfx: the station on the factory's network, the one program that
// links the AMQP library (Qpid Proton), so that "ffsload run" stays as small
// and quick to start as it was. "ffsload cfx", the panels and the grid start
// it in the station folder.
//   ffsload-cfx [serve]                 deliver the queue, answer the MES (cfx-listen)
//   ffsload-cfx status                  the broker, the queue, the lock
//   ffsload-cfx validate --serial SN --port N    ask the MES about a unit (one line)
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <proton/container.hpp>
#include <proton/listener.hpp>
#include <string>

#include "cfx/delivery_state.h"
#include "cfx/endpoint_events.h"
#include "cfx/queue.h"
#include "cfx/request_answers.h"
#include "cfx/station_lock.h"
#include "cfx/unit_validation.h"
#include "cfxnet/queue_sender.h"
#include "cfxnet/request_server.h"
#include "cfxnet/tls_options.h"
#include "cfxnet/validate_client.h"
#include "ffsload_version.h"
#include "platform/child_process.h"
#include "platform/file_lock.h"
#include "platform/folders.h"
#include "platform/stop_signals.h"
#include "platform/this_process.h"
#include "station/station_settings.h"
#include "text/station_text.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitFailed = 2;
using cfx::kSenderLockFile;

struct Loaded {
  cfx::Settings settings;
  std::string password;
  std::string folder;
  std::optional<cfxnet::StationTls> tls;
  std::string tls_problem;  // why tls is not there
};

// The station folder's settings; false after saying why.
bool load(Loaded* out, bool need_password) {
  const station::StationSettingsFile file = station::read_station_settings();
  if (const std::string refusal = file.refusal(); !refusal.empty()) {
    std::fprintf(stderr, "ffsload-cfx: %s\n", refusal.c_str());
    return false;
  }
  out->settings = file.settings.cfx;
  if (!out->settings.enabled) {
    std::fprintf(stderr,
                 "ffsload-cfx: cfx-broker is not set in %s: this station does not speak to the "
                 "factory's network\n",
                 station::kStationSettingsFile);
    return false;
  }
  std::string folder;
  platform::GetDir(&folder);
  out->folder = folder;
  if (need_password && !out->settings.broker.user.empty()) {
    std::string why;
    const auto password = cfx::broker_password(out->settings, &why);
    if (!password) {
      std::fprintf(stderr,
                   "ffsload-cfx: cfx-broker names the user %s but no password is given (%s)\n",
                   out->settings.broker.user.c_str(),
                   why.empty() ? "set cfx-password-file or FFSLOAD_CFX_PASSWORD" : why.c_str());
      return false;
    }
    out->password = *password;
  }
  // Made before any connection: it decides which CAs this process trusts.
  out->tls = cfxnet::station_tls(out->settings, &out->tls_problem);
  return true;
}

cfx::EndpointFacts facts_of(const Loaded& loaded) {
  cfx::EndpointFacts facts;
  facts.handle = loaded.settings.handle;
  facts.request_uri = cfx::advertised_request_uri(loaded.settings);
  facts.software_version = FFSLOAD_VERSION;
  facts.host_name = platform::host_name();
  return facts;
}

int serve(bool exit_when_busy, bool as_folder_owner) {
  // Started as root (the service): the station folder's owner is the one to
  // run as, or the queue and its lock would become root's and no operator's
  // run could queue a message any more.
  std::string folder, why;
  platform::GetDir(&folder);
  if (as_folder_owner && !platform::become_owner_of(folder, &why)) {
    std::fprintf(stderr, "ffsload-cfx: %s\n", why.c_str());
    return kExitFailed;
  }
  Loaded loaded;
  if (!load(&loaded, true)) return kExitFailed;
  // Never served in clear instead, nor sent unverified: the operator or the
  // service's log is told what to mend.
  const std::string unverifiable =
      cfx::unverifiable_tls_url("cfx-broker", loaded.settings.broker_url);
  if (!loaded.tls || !unverifiable.empty()) {
    std::fprintf(stderr, "ffsload-cfx: %s\n",
                 loaded.tls ? unverifiable.c_str() : loaded.tls_problem.c_str());
    return kExitFailed;
  }
  platform::catch_stop_signals();
  // One sender per station folder, whichever front end started it. A second
  // one waits: when the service stops, the open panels' sender takes over.
  platform::FileLock lock;
  bool said = false;
  for (;;) {
    const auto taken = lock.take(loaded.folder + "/" + kSenderLockFile);
    if (taken == platform::FileLock::Result::kHeld) break;
    if (taken == platform::FileLock::Result::kFailed) {
      std::fprintf(stderr, "ffsload-cfx: cannot take %s in %s\n", kSenderLockFile,
                   loaded.folder.c_str());
      return kExitFailed;
    }
    if (exit_when_busy) {
      std::fprintf(stderr, "ffsload-cfx: another sender serves the station folder %s\n",
                   loaded.folder.c_str());
      return kExitFailed;
    }
    if (!said) {
      std::fprintf(stderr,
                   "ffsload-cfx: another sender serves the station folder %s: waiting for it to "
                   "stop\n",
                   loaded.folder.c_str());
      said = true;
    }
    if (platform::stop_requested()) return kExitOk;
    platform::nap_ms(500);
  }
  std::string error;
  auto queue = cfx::Queue::open(loaded.folder, &error);
  if (!queue) {
    std::fprintf(stderr, "ffsload-cfx: %s\n", error.c_str());
    return kExitFailed;
  }
  cfxnet::SenderConfig config;
  config.settings = loaded.settings;
  config.password = loaded.password;
  config.tls = loaded.tls->client;
  config.station_folder = loaded.folder;
  config.facts = facts_of(loaded);
  config.stop_requested = [] { return platform::stop_requested(); };
  cfxnet::RequestServer server(config.facts, loaded.folder, loaded.settings.mes_handles,
                               loaded.tls->server);
  config.on_tick = [&server] { server.sweep(); };
  cfxnet::QueueSender sender(config, std::move(queue));
  proton::container container(sender, config.facts.handle);
  // A failure of an earlier sender's listen says nothing of this one's.
  if (!cfx::clear_delivery_failing(loaded.folder, &error, cfx::kListenStateFile))
    std::fprintf(stderr, "ffsload-cfx: %s\n", error.c_str());
  try {
    if (!loaded.settings.listen.empty()) container.listen(loaded.settings.listen, server);
    container.run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ffsload-cfx: %s\n", e.what());
    return kExitFailed;
  }
  return sender.ok() ? kExitOk : kExitFailed;
}

std::string local_time(std::int64_t utc_ms) {
  const std::time_t t = static_cast<std::time_t>(utc_ms / 1000);
  std::tm tm{};
  localtime_r(&t, &tm);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &tm);
  return text;
}

int status() {
  Loaded loaded;
  if (!load(&loaded, true)) return kExitFailed;
  std::printf("station handle: %s\n", loaded.settings.handle.c_str());
  std::printf("broker: %s\n", cfx::redacted_url(loaded.settings.broker_url).c_str());
  std::string why = loaded.tls ? cfx::unverifiable_tls_url("cfx-broker", loaded.settings.broker_url)
                               : loaded.tls_problem;
  if (why.empty())
    why = cfxnet::probe_broker(loaded.settings, loaded.password, 3000, loaded.tls->client);
  std::printf("broker reachable: %s\n", why.empty() ? "yes" : ("no (" + why + ")").c_str());
  platform::FileLock probe;
  const bool running =
      probe.take(loaded.folder + "/" + kSenderLockFile) == platform::FileLock::Result::kBusy;
  probe.release();
  std::printf("sender running: %s\n", running ? "yes" : "no");
  // The running sender's own word: a broker that answers may still refuse
  // its link (a missing exchange, a permission).
  const auto failing = running ? cfx::read_delivery_failing(loaded.folder) : std::nullopt;
  if (failing) {
    std::printf("delivery failing since %s (%s)\n", local_time(failing->since_ms).c_str(),
                text::shown_station_text(failing->reason).c_str());
  }
  const auto not_listening =
      running ? cfx::read_delivery_failing(loaded.folder, cfx::kListenStateFile) : std::nullopt;
  if (not_listening) {
    std::printf("request port failing since %s (%s)\n", local_time(not_listening->since_ms).c_str(),
                text::shown_station_text(not_listening->reason).c_str());
  }
  // Files another user made (a sender run as root): runs cannot queue their
  // messages, and a sender of this user cannot take the folder.
  const auto not_ours = cfx::queue_files_not_ours_to_write(loaded.folder);
  for (const std::string& file : not_ours)
    std::printf("not writable: %s\n", text::shown_station_text(file).c_str());
  std::string error;
  auto queue = cfx::Queue::open_for_reading(loaded.folder, &error);
  if (!queue && !error.empty()) {
    std::printf("queue: cannot be read (%s)\n", error.c_str());
  } else {
    const cfx::QueueStatus s = queue ? queue->status() : cfx::QueueStatus{};
    std::printf("messages waiting: %lld\n", static_cast<long long>(s.waiting));
    std::printf("oldest waiting: %s\n",
                s.oldest_waiting_ms ? local_time(*s.oldest_waiting_ms).c_str() : "-");
    std::printf("set aside: %lld\n", static_cast<long long>(s.set_aside));
    std::printf("last delivered: %s\n",
                s.last_delivered_ms ? local_time(*s.last_delivered_ms).c_str() : "-");
  }
  if (const auto lock = cfx::read_station_lock(loaded.folder)) {
    std::printf("station: locked by the MES (%s%s)\n", lock->reason.c_str(),
                lock->requestor.empty() ? "" : (", by " + lock->requestor).c_str());
  } else {
    std::printf("station: not locked\n");
  }
  return why.empty() && !failing && !not_listening && not_ours.empty() ? kExitOk : kExitRefused;
}

int validate(const std::string& serial, int port, int timeout_ms) {
  Loaded loaded;
  cfx::MesVerdict verdict;
  // The broker's password is not needed to ask the MES; a cfx-mes URL with
  // a user takes the same one (cfx-password-file or FFSLOAD_CFX_PASSWORD).
  if (!load(&loaded, false)) {
    verdict.message = "the station's cfx settings cannot be used";
  } else if (loaded.settings.mes_url.empty() || loaded.settings.mes_handle.empty()) {
    verdict.message = "cfx-mes is not set";
  } else {
    cfx::ValidationAsk ask;
    ask.handle = loaded.settings.handle;
    ask.mes_handle = loaded.settings.mes_handle;
    ask.serial = serial;
    ask.port = port;
    if (timeout_ms <= 0) timeout_ms = loaded.settings.validate_timeout_s * 1000;
    std::string why;
    const auto mes = cfx::parse_amqp_url(loaded.settings.mes_url, &why);
    std::string password;
    if (mes && !mes->user.empty())
      password = cfx::broker_password(loaded.settings, &why).value_or("");
    // TLS counts only for an amqps:// MES: a file the broker's connection
    // needs never stops a unit the MES could be asked about.
    const std::string unverifiable = cfx::unverifiable_tls_url("cfx-mes", loaded.settings.mes_url);
    if (mes && mes->tls && !loaded.tls) {
      verdict.message = loaded.tls_problem;
    } else if (!unverifiable.empty()) {
      verdict.message = unverifiable;
    } else {
      verdict = cfxnet::ask_mes(loaded.settings, password, ask, timeout_ms,
                                loaded.tls ? loaded.tls->client : proton::ssl_client_options());
    }
  }
  std::printf("%s\n", cfx::verdict_line(verdict).c_str());
  std::fflush(stdout);
  switch (verdict.kind) {
    case cfx::MesVerdict::Kind::kPassed:
      return kExitOk;
    case cfx::MesVerdict::Kind::kRefused:
    case cfx::MesVerdict::Kind::kNoAnswer:
      return kExitRefused;
    case cfx::MesVerdict::Kind::kFailed:
      break;
  }
  return kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"ffsload-cfx: the station's IPC-CFX endpoint on the factory's network.",
               "ffsload-cfx"};
  app.set_version_flag("--version", "ffsload-cfx " FFSLOAD_VERSION);
  app.require_subcommand(0, 1);
  bool exit_when_busy = false;
  auto* serve_cmd = app.add_subcommand(
      "serve", "deliver the station's queue to the broker and answer the MES (the default)");
  serve_cmd->add_flag("--exit-when-busy", exit_when_busy,
                      "exit (status 2) when another sender serves this station folder, "
                      "instead of waiting for it to stop");
  bool as_folder_owner = false;
  serve_cmd->add_flag("--as-folder-owner", as_folder_owner,
                      "started as root (a service): run as the user who owns the station "
                      "folder, and refuse a folder that is root's");
  app.add_subcommand("status", "the broker, the queue and the station's lock");
  auto* validate_cmd =
      app.add_subcommand("validate", "ask the MES whether a unit may be loaded (one line)");
  std::string serial;
  int port = 0;
  int timeout_ms = 0;
  validate_cmd->add_option("--serial", serial, "the unit's serial")->required();
  validate_cmd->add_option("--port", port, "the port (the lane)")->required();
  validate_cmd->add_option("--timeout-ms", timeout_ms,
                           "how long to wait (default: cfx-validate-timeout)");
  app.footer("Run in the station folder, whose ffsload.conf holds the cfx-* settings.");
  CLI11_PARSE(app, argc, argv);
  if (app.got_subcommand("status")) return status();
  if (app.got_subcommand("validate")) return validate(serial, port, timeout_ms);
  return serve(exit_when_busy, as_folder_owner);
}
