// A watched game's events as text/event-stream, on a connection that stays open as long as the
// game goes on: each batch as "event: batch", its number as the event's id (a client that comes
// back sends it as Last-Event-ID, and goes on from there) and its lines as data lines; the end
// as "event: end" with the outcome in JSON; a comment now and then while nothing else comes.
// While its watcher has nothing to send, the connection is suspended; it is resumed by the
// watcher's wake, and closed at once when the watcher is dropped.
#pragma once

#include <microhttpd.h>

#include <memory>
#include <string>

#include "server/board/broadcast.h"

struct DaemonState;
struct Exchange;

// Answers `x` with `watcher`'s events as they come.
MHD_Result stream_events(DaemonState& s, MHD_Connection* c, Exchange& x,
                         std::shared_ptr<Watcher> watcher);
// The server stops: every stream ends after what it was writing (one stuck on a client that
// reads nothing is cut).
void end_streams(DaemonState& s);
// An event as the stream writes it.
std::string event_text(const WatchEvent& e);
