#include "cfxnet/request_server.h"

#include <cstdio>
#include <proton/connection_options.hpp>
#include <proton/delivery.hpp>
#include <proton/duration.hpp>
#include <proton/error_condition.hpp>
#include <proton/listener.hpp>
#include <proton/message.hpp>
#include <proton/receiver.hpp>
#include <proton/sender_options.hpp>
#include <proton/source.hpp>
#include <proton/source_options.hpp>
#include <proton/transport.hpp>

#include "cfx/station_lock.h"
#include "cfxnet/amqp_framing.h"
#include "platform/calendar.h"

namespace cfxnet {

RequestServer::RequestServer(cfx::EndpointFacts facts, std::string station_folder)
    : facts_(std::move(facts)), station_folder_(std::move(station_folder)) {}

proton::connection_options RequestServer::on_accept(proton::listener&) {
  proton::connection_options o(*this);
  o.idle_timeout(proton::duration(kRequestIdleTimeoutMs));
  o.max_frame_size(16 * 1024);
  o.sasl_enabled(true);
  o.sasl_allowed_mechs("ANONYMOUS");
  return o;
}

void RequestServer::on_error(proton::listener&, const std::string& what) {
  listen_error_ = what;
  std::fprintf(stderr, "ffsload-cfx: cannot listen for the MES's requests: %s\n", what.c_str());
}

void RequestServer::on_connection_open(proton::connection& c) {
  if (static_cast<int>(connections_.size()) >= kMaxRequestConnections) {
    c.close(proton::error_condition("amqp:resource-limit-exceeded",
                                    "this station takes " + std::to_string(kMaxRequestConnections) +
                                        " request connections at most"));
    return;
  }
  connections_[c];
  c.open();
}

void RequestServer::on_connection_close(proton::connection& c) {
  connections_.erase(c);
}

void RequestServer::on_transport_close(proton::transport& t) {
  connections_.erase(t.connection());
}

void RequestServer::on_sender_open(proton::sender& s) {
  auto conn = connections_.find(s.connection());
  if (conn == connections_.end()) return;
  // The requester's receiver for replies: named by its source address, or
  // dynamic, when the station names it.
  std::string address = s.source().address();
  if (s.source().dynamic() || address.empty()) {
    address = facts_.handle + "/reply-" + std::to_string(++dynamic_count_);
    s.open(proton::sender_options().source(proton::source_options().address(address)));
  } else if (!s.active()) {
    s.open(proton::sender_options().source(proton::source_options().address(address)));
  }
  conn->second.reply_links[address] = s;
}

void RequestServer::on_sendable(proton::sender& s) {
  auto conn = connections_.find(s.connection());
  if (conn == connections_.end()) return;
  for (auto& [address, link] : conn->second.reply_links) {
    if (link != s) continue;
    auto& list = conn->second.waiting[address];
    while (!list.empty() && s.credit() > 0) {
      s.send(list.front());
      list.erase(list.begin());
    }
  }
}

void RequestServer::reply(proton::connection c, const std::string& address, proton::message m) {
  auto conn = connections_.find(c);
  if (conn == connections_.end()) return;
  auto& links = conn->second.reply_links;
  auto link = links.find(address);
  if (link == links.end()) {
    // No receiver attached under that name: send to the address itself.
    link = links.emplace(address, c.open_sender(address)).first;
  }
  conn->second.waiting[address].push_back(std::move(m));
  proton::sender s = link->second;
  if (s.active() && s.credit() > 0) on_sendable(s);
}

void RequestServer::on_message(proton::delivery& d, proton::message& m) {
  const std::string json = body_text(m);
  if (json.size() > kMaxRequestBytes) {
    d.reject();
    d.connection().close(proton::error_condition(
        "amqp:link:message-size-exceeded",
        "a request is " + std::to_string(kMaxRequestBytes) + " bytes at most"));
    return;
  }
  std::string why;
  const auto request = cfx::parse_request(json, &why);
  if (!request) {
    d.reject();
    return;
  }
  std::string failure;
  switch (cfx::action_for(*request)) {
    case cfx::RequestAction::kLock: {
      cfx::StationLock lock;
      lock.reason = cfx::lock_reason(*request);
      lock.requestor = cfx::lock_requestor(*request);
      lock.locked_by = request->source;
      lock.locked_at_ms = platform::utc_now_ms();
      if (!cfx::write_station_lock(station_folder_, lock, &failure)) {
        failure = "the lock cannot be kept: " + failure;
      } else {
        std::fprintf(stderr, "ffsload-cfx: %s locked the station (%s)\n", request->source.c_str(),
                     lock.reason.c_str());
      }
      break;
    }
    case cfx::RequestAction::kUnlock:
      if (!cfx::clear_station_lock(station_folder_, &failure)) {
        failure = "the lock cannot be removed: " + failure;
      } else {
        std::fprintf(stderr, "ffsload-cfx: %s unlocked the station\n", request->source.c_str());
      }
      break;
    case cfx::RequestAction::kNone:
      break;
  }
  const cfx::Envelope answer =
      cfx::answer_request(*request, facts_, failure, platform::utc_now_ms());
  proton::message out = amqp_message(answer, platform::utc_now_ms());
  const std::string reply_to = m.reply_to();
  if (reply_to.empty()) return;  // nobody to answer
  out.to(reply_to);
  out.address(reply_to);
  reply(d.connection(), reply_to, std::move(out));
}

}  // namespace cfxnet
