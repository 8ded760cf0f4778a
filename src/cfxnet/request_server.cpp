#include "cfxnet/request_server.h"

#include <proton/connection.h>
#include <proton/delivery.h>
#include <proton/link.h>
#include <proton/netaddr.h>
#include <proton/session.h>
#include <proton/transport.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <proton/connection_options.hpp>
#include <proton/delivery.hpp>
#include <proton/duration.hpp>
#include <proton/error_condition.hpp>
#include <proton/listener.hpp>
#include <proton/message.hpp>
#include <proton/receiver.hpp>
#include <proton/sender_options.hpp>
#include <proton/session.hpp>
#include <proton/source.hpp>
#include <proton/source_options.hpp>
#include <proton/transport.hpp>

#include "cfx/delivery_state.h"
#include "cfx/station_lock.h"
#include "cfxnet/amqp_framing.h"
#include "platform/calendar.h"
#include "platform/child_process.h"
#include "text/station_text.h"

namespace cfxnet {

namespace {

// Proton's C++ objects keep their C object to themselves; the peer's
// address, a session's window, a link's largest message and a delivery not
// yet complete are only in the C API.
template <class Wrapper, class Raw>
struct Unwrapped : Wrapper {
  explicit Unwrapped(const Wrapper& w) : Wrapper(w) {}
  Raw* get() const { return this->pn_object(); }
};
pn_session_t* raw(const proton::session& s) {
  return Unwrapped<proton::session, pn_session_t>(s).get();
}
pn_link_t* raw(const proton::receiver& r) {
  return Unwrapped<proton::receiver, pn_link_t>(r).get();
}
pn_connection_t* raw(const proton::connection& c) {
  return Unwrapped<proton::connection, pn_connection_t>(c).get();
}

std::string remote_address(const proton::connection& c) {
  pn_transport_t* t = pn_connection_transport(raw(c));
  const pn_netaddr_t* a = t ? pn_transport_remote_addr(t) : nullptr;
  char text[128] = "";
  if (!a || pn_netaddr_str(a, text, sizeof text) <= 0) return "an unknown address";
  return text;
}

// "[::1]:5673" or "10.0.0.4:5673" without its port.
std::string host_of(const std::string& address) {
  const auto colon = address.rfind(':');
  return colon == std::string::npos ? address : address.substr(0, colon);
}

std::string condition_text(const proton::error_condition& e) {
  if (!e) return "closed";
  std::string text = e.name();
  if (!e.description().empty()) text += ": " + e.description();
  return text;
}

// The largest request still being received on any of the connection's
// links: held by the session's window, never beyond it.
std::size_t largest_partial(const proton::connection& c) {
  std::size_t largest = 0;
  for (pn_link_t* l = pn_link_head(raw(c), 0); l; l = pn_link_next(l, 0)) {
    if (!pn_link_is_receiver(l)) continue;
    if (pn_delivery_t* d = pn_link_current(l))
      largest = std::max(largest, static_cast<std::size_t>(pn_delivery_pending(d)));
  }
  return largest;
}

// A requester's words in the log: written out, never acted on by a terminal.
std::string shown(const std::string& text) {
  return text::shown_station_text(text);
}

}  // namespace

RequestServer::RequestServer(cfx::EndpointFacts facts, std::string station_folder,
                             std::vector<std::string> mes_handles,
                             std::optional<proton::ssl_server_options> tls)
    : facts_(std::move(facts)),
      station_folder_(std::move(station_folder)),
      mes_handles_(std::move(mes_handles)),
      tls_(std::move(tls)) {}

proton::connection_options RequestServer::on_accept(proton::listener&) {
  proton::connection_options o(*this);
  o.idle_timeout(proton::duration(kRequestIdleTimeoutMs));
  o.max_frame_size(kRequestFrameBytes);
  o.sasl_enabled(true);
  o.sasl_allowed_mechs("ANONYMOUS");
  // TLS only: a client that speaks plain AMQP (or shows no certificate the
  // CA signed) is refused in the handshake, before any request is read.
  if (tls_) o.ssl_server_options(*tls_);
  return o;
}

void RequestServer::on_error(proton::listener&, const std::string& what) {
  std::fprintf(stderr,
               "ffsload-cfx: error: cannot listen for the MES's requests: %s; the MES cannot ask "
               "or lock this station (delivery goes on)\n",
               what.c_str());
  // Kept for "ffsload cfx --status", which says it and exits non-zero.
  std::string error;
  if (!cfx::write_delivery_failing(station_folder_,
                                   cfx::DeliveryFailing{platform::utc_now_ms(), what}, &error,
                                   cfx::kListenStateFile))
    std::fprintf(stderr, "ffsload-cfx: %s\n", error.c_str());
}

RequestServer::Peer& RequestServer::peer(const proton::connection& c) {
  auto it = peers_.find(c);
  if (it == peers_.end()) {
    Peer p;
    p.address = remote_address(c);
    p.host = host_of(p.address);
    p.seen_ms = platform::monotonic_ms();
    it = peers_.emplace(c, std::move(p)).first;
  }
  return it->second;
}

void RequestServer::say(Peer& p, const std::string& why) {
  if (p.said) return;
  p.said = true;
  // Proton quotes what a stranger sent; a line of the log is enough of it.
  constexpr std::size_t kLongest = 160;
  const std::string text = why.size() > kLongest ? why.substr(0, kLongest) + "..." : why;
  std::fprintf(stderr, "ffsload-cfx: request connection from %s: %s; closed\n", p.address.c_str(),
               text.c_str());
}

void RequestServer::drop(proton::connection c, const std::string& condition,
                         const std::string& why) {
  Peer& p = peer(c);
  say(p, why);
  if (p.closing) return;
  p.closing = true;
  try {
    if (c.active() || c.uninitialized()) c.close(proton::error_condition(condition, why));
  } catch (const std::exception&) {
    // Already gone: the transport's end below still applies.
  }
  // A peer that never answers the close (or never spoke AMQP at all) must
  // not hold the socket: no more input is taken, and the transport ends
  // once the close is written.
  if (pn_transport_t* t = pn_connection_transport(raw(c))) pn_transport_close_tail(t);
}

void RequestServer::sweep() {
  const std::int64_t now = platform::monotonic_ms();
  for (auto& [c, p] : peers_) {
    if (p.closing) continue;
    if (now - p.seen_ms >= kRequestIdleTimeoutMs) p.idle_due = true;
    // Checked in the connection's own context, where it may be closed.
    proton::connection conn = c;
    conn.wake();
  }
}

void RequestServer::on_connection_wake(proton::connection& c) {
  Peer& p = peer(c);
  if (p.closing) return;
  if (p.idle_due) {
    drop(c, "amqp:resource-limit-exceeded",
         "asked nothing for " + std::to_string(kRequestIdleTimeoutMs / 1000) + " s");
  } else if (largest_partial(c) > kMaxRequestBytes) {
    drop(c, "amqp:link:message-size-exceeded",
         "a request is " + std::to_string(kMaxRequestBytes) + " bytes at most");
  }
}

void RequestServer::on_transport_open(proton::transport& t) {
  peer(t.connection());
}

void RequestServer::on_transport_error(proton::transport& t) {
  Peer& p = peer(t.connection());
  say(p, condition_text(t.error()));
}

void RequestServer::on_transport_close(proton::transport& t) {
  peers_.erase(t.connection());
}

void RequestServer::on_connection_open(proton::connection& c) {
  Peer& p = peer(c);
  int taken = 0, from_host = 0;
  for (const auto& [other, q] : peers_) {
    if (q.closing || other == c) continue;
    ++taken;
    if (q.host == p.host) ++from_host;
  }
  if (taken >= kMaxRequestConnections) {
    drop(c, "amqp:resource-limit-exceeded",
         "this station takes " + std::to_string(kMaxRequestConnections) +
             " request connections at most");
    return;
  }
  if (from_host >= kMaxConnectionsPerPeer) {
    drop(c, "amqp:resource-limit-exceeded",
         "this station takes " + std::to_string(kMaxConnectionsPerPeer) +
             " request connections from one address at most");
    return;
  }
  c.open();
}

void RequestServer::on_connection_close(proton::connection& c) {
  // The peer closed in order: nothing to log; the transport's close follows.
  Peer& p = peer(c);
  p.closing = true;
}

void RequestServer::on_connection_error(proton::connection& c) {
  Peer& p = peer(c);
  say(p, condition_text(c.error()));
  p.closing = true;
}

void RequestServer::on_session_open(proton::session& s) {
  proton::connection c = s.connection();
  Peer& p = peer(c);
  if (p.closing) return;
  if (++p.sessions > kMaxSessionsPerConnection) {
    drop(c, "amqp:resource-limit-exceeded",
         "more than " + std::to_string(kMaxSessionsPerConnection) + " sessions");
    return;
  }
  // The window holds one largest request and a frame more: a larger one
  // stalls there until the sweep sees it, instead of growing in memory.
  pn_session_set_incoming_capacity(raw(s), kMaxRequestBytes + 2 * kRequestFrameBytes);
  s.open();
}

void RequestServer::on_session_error(proton::session& s) {
  drop(s.connection(), "amqp:internal-error", "session: " + condition_text(s.error()));
}

bool RequestServer::admit_link(proton::connection c) {
  Peer& p = peer(c);
  if (p.closing) return false;
  if (++p.links > kMaxLinksPerConnection) {
    drop(c, "amqp:resource-limit-exceeded",
         "more than " + std::to_string(kMaxLinksPerConnection) + " links");
    return false;
  }
  return true;
}

void RequestServer::on_receiver_open(proton::receiver& r) {
  if (!admit_link(r.connection())) return;
  // Advertised, so that a well-behaved requester refuses to send more.
  pn_link_set_max_message_size(raw(r), kMaxRequestBytes);
  r.open();
}

void RequestServer::on_receiver_error(proton::receiver& r) {
  drop(r.connection(), "amqp:internal-error", "link: " + condition_text(r.error()));
}

void RequestServer::on_sender_open(proton::sender& s) {
  proton::connection c = s.connection();
  if (!admit_link(c)) return;
  // The requester's receiver for replies: named by its source address, or
  // dynamic, when the station names it.
  std::string address = s.source().address();
  if (s.source().dynamic() || address.empty()) {
    address = facts_.handle + "/reply-" + std::to_string(++dynamic_count_);
    s.open(proton::sender_options().source(proton::source_options().address(address)));
  } else if (!s.active()) {
    s.open(proton::sender_options().source(proton::source_options().address(address)));
  }
  peer(c).reply_links[address] = s;
}

void RequestServer::on_sender_error(proton::sender& s) {
  drop(s.connection(), "amqp:internal-error", "link: " + condition_text(s.error()));
}

void RequestServer::on_error(const proton::error_condition& e) {
  // Whatever Proton reports without a connection: said, never thrown, so
  // that the sender beside the responder goes on.
  std::fprintf(stderr, "ffsload-cfx: request port: %s\n", condition_text(e).c_str());
}

void RequestServer::on_sendable(proton::sender& s) {
  auto conn = peers_.find(s.connection());
  if (conn == peers_.end() || conn->second.closing) return;
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
  auto conn = peers_.find(c);
  if (conn == peers_.end() || conn->second.closing) return;
  Peer& p = conn->second;
  auto link = p.reply_links.find(address);
  if (link == p.reply_links.end()) {
    // No receiver attached under that name: send to the address itself, on
    // a link of its own that counts against the connection's links.
    if (++p.links > kMaxLinksPerConnection) {
      drop(c, "amqp:resource-limit-exceeded",
           "more than " + std::to_string(kMaxLinksPerConnection) + " links");
      return;
    }
    link = p.reply_links.emplace(address, c.open_sender(address)).first;
  }
  p.waiting[address].push_back(std::move(m));
  proton::sender s = link->second;
  if (s.active() && s.credit() > 0) on_sendable(s);
}

void RequestServer::on_message(proton::delivery& d, proton::message& m) {
  proton::connection c = d.connection();
  if (peer(c).closing) return;
  try {
    answer(d, m);
  } catch (const std::exception& e) {
    // A request that trips Proton up costs its own connection, nothing more.
    drop(c, "amqp:internal-error", e.what());
  }
}

void RequestServer::answer(proton::delivery& d, proton::message& m) {
  proton::connection c = d.connection();
  peer(c).seen_ms = platform::monotonic_ms();
  const std::string json = body_text(m);
  if (json.size() > kMaxRequestBytes) {
    d.reject();
    drop(c, "amqp:link:message-size-exceeded",
         "a request is " + std::to_string(kMaxRequestBytes) + " bytes at most");
    return;
  }
  std::string why;
  const auto request = cfx::parse_request(json, &why);
  if (!request) {
    d.reject();
    return;
  }
  const cfx::RequestAction action = cfx::action_for(*request);
  cfx::Admission admission{facts_.handle, mes_handles_, std::nullopt};
  if (action != cfx::RequestAction::kNone) admission.lock = cfx::read_station_lock(station_folder_);
  if (const std::string refusal = cfx::refusal_of(*request, admission); !refusal.empty()) {
    if (action != cfx::RequestAction::kNone) {
      std::fprintf(stderr, "ffsload-cfx: %s from %s at %s refused: %s\n",
                   shown(request->message_name).c_str(), shown(request->source).c_str(),
                   peer(c).address.c_str(), shown(refusal).c_str());
    }
    send_reply(c, m, cfx::refused_answer(*request, facts_, refusal, platform::utc_now_ms()));
    return;
  }
  std::string failure;
  switch (action) {
    case cfx::RequestAction::kLock: {
      cfx::StationLock lock;
      lock.reason = cfx::lock_reason(*request);
      lock.requestor = cfx::lock_requestor(*request);
      lock.locked_by = request->source;
      lock.locked_at_ms = platform::utc_now_ms();
      if (!cfx::write_station_lock(station_folder_, lock, &failure)) {
        failure = "the lock cannot be kept: " + failure;
      } else {
        std::fprintf(stderr, "ffsload-cfx: %s locked the station (%s)\n",
                     shown(request->source).c_str(), shown(lock.reason).c_str());
      }
      break;
    }
    case cfx::RequestAction::kUnlock:
      if (!cfx::clear_station_lock(station_folder_, &failure)) {
        failure = "the lock cannot be removed: " + failure;
      } else {
        std::fprintf(stderr, "ffsload-cfx: %s unlocked the station\n",
                     shown(request->source).c_str());
      }
      break;
    case cfx::RequestAction::kNone:
      break;
  }
  send_reply(c, m, cfx::answer_request(*request, facts_, failure, platform::utc_now_ms()));
}

void RequestServer::send_reply(proton::connection c, const proton::message& request,
                               const cfx::Envelope& answer) {
  const std::string reply_to = request.reply_to();
  if (reply_to.empty()) return;  // nobody to answer
  proton::message out = amqp_message(answer, platform::utc_now_ms());
  out.to(reply_to);
  out.address(reply_to);
  reply(c, reply_to, std::move(out));
}

}  // namespace cfxnet
