#include "desktop/ranked_client.h"

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>

#include "desktop/http_client.h"
#include "desktop/json_fields.h"
#include "game/game.h"

namespace {

constexpr long kDealSeconds = 10;           // to deal an attempt
constexpr long kBatchSeconds = 10;          // to take a batch
constexpr long long kRetryMs = 500;         // between two tries of a batch the network lost
constexpr long long kLastWordMs = 4000;     // for the last batch, once the program ends
constexpr long long kPacingMarginMs = 250;  // the network's, in what the server counts
constexpr long long kFailoverMs = 1500;     // out of reach this long, the next server is tried

long long steady_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What the server said was wrong, or its status.
std::string words_of(const HttpReply& reply) {
    const nlohmann::json answer = parsed(reply.body);
    const std::string reason = text_of(answer, "reason");
    const std::string error = text_of(answer, "error");
    return !reason.empty()  ? reason
           : !error.empty() ? error
                            : "HTTP " + std::to_string(reply.status);
}

}  // namespace

std::unique_ptr<RankedClient> RankedClient::deal(const std::string& list, bool daily,
                                                 const std::string& name, const std::string& key,
                                                 std::string& error) {
    nlohmann::json ask = {{"board", daily ? "daily" : "open"}, {"name", name}};
    if (!key.empty()) {
        ask["key"] = key;
    }
    const std::string body = ask.dump();
    std::vector<std::string> servers;
    for (size_t from = 0; from <= list.size();) {
        const size_t comma = std::min(list.find(',', from), list.size());
        if (comma > from) {
            servers.push_back(list.substr(from, comma - from));
        }
        from = comma + 1;
    }
    if (servers.empty()) {
        error = "no leaderboard named";
        return nullptr;
    }
    // The first server that answers deals; the others take the game if it stops answering.
    HttpReply reply;
    std::string server;
    for (size_t i = 0; i < servers.size() && !reply.reached; ++i) {
        std::rotate(servers.begin(), servers.begin() + (i > 0), servers.end());
        server = servers.front();
        reply =
            http_request(server + "/api/v1/attempts", &body, "application/json", {}, kDealSeconds);
    }
    if (!reply.reached) {
        error = "the leaderboard at " + server + " cannot be reached: " + reply.problem;
        return nullptr;
    }
    const nlohmann::json dealt = parsed(reply.body);
    if (reply.status != 201 || !dealt.is_object() || !dealt.contains("seed")) {
        error = "the leaderboard at " + server + " deals no ranked game: " + words_of(reply);
        return nullptr;
    }
    std::string board = daily ? "daily challenge " + text_of(dealt, "day") : "open board";
    if (dealt.contains("ranked") && dealt["ranked"].is_boolean() && !dealt["ranked"]) {
        board += " (unranked: " + text_of(dealt, "reason") + ")";
    }
    return std::unique_ptr<RankedClient>(
        new RankedClient(servers, std::to_string(number_of(dealt, "attempt")),
                         text_of(dealt, "token"), static_cast<unsigned>(number_of(dealt, "seed")),
                         board, number_of(dealt, "bound_ms"), number_of(dealt, "credit_ms")));
}

RankedClient::RankedClient(std::vector<std::string> servers_, std::string attempt_,
                           std::string token_, unsigned seed_, std::string board_, long long bound_,
                           long long credit)
    : servers(std::move(servers_)),
      attempt(std::move(attempt_)),
      token(std::move(token_)),
      dealt_seed(seed_),
      board(std::move(board_)),
      bound_ms(bound_),
      dealt_at(steady_ms()),
      credit_ms(credit),
      answered_at(dealt_at),
      sender([this] { send_batches(); }) {}

void RankedClient::close() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (sender.joinable()) {
        sender.join();
    }
}

void RankedClient::update(const std::string& recording) {
    std::lock_guard<std::mutex> lock(mutex);
    if (recording.size() <= taken || complete) {
        return;
    }
    partial += recording.substr(taken);
    taken = recording.size();
    const size_t whole = partial.rfind('\n');
    if (whole == std::string::npos) {
        return;
    }
    const std::string lines = partial.substr(0, whole + 1);
    partial.erase(0, whole + 1);
    for (size_t at = 0; at < lines.size(); at = lines.find('\n', at) + 1) {
        ticks += lines.compare(at, 2, "t ") == 0;
        if (lines.compare(at, 5, "over ") == 0 || lines.compare(at, 4, "end ") == 0) {
            complete = true;
        }
    }
    pending += lines;
    if (complete) {
        wake.notify_all();
    }
}

// The lines of `pending` a batch may bring within `budget_ms` of play (each tick 50 ms, a batch
// without one as if it had one): the server takes no more than the time since the last batch
// and its credit, so a backlog (after a stall) goes over several batches.
std::string paced(std::string& pending, long long budget_ms) {
    long long play = kTickMs;
    size_t cut = 0;
    for (size_t at = 0; at < pending.size(); at = pending.find('\n', at) + 1) {
        if (pending.compare(at, 2, "t ") == 0) {
            if (cut > 0 && play + kTickMs > budget_ms) {
                break;
            }
            play += cut > 0 ? kTickMs : 0;
        }
        cut = pending.find('\n', at) + 1;
    }
    std::string lines = pending.substr(0, cut);
    pending.erase(0, cut);
    return lines;
}

void RankedClient::send_batches() {
    bool held_back = false;  // the last batch left lines for the next
    for (int batch = 0;; ++batch) {
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait_for(lock, std::chrono::milliseconds(1000), [this, held_back] {
            return stopping || (complete && !pending.empty() && !held_back);
        });
        if (over || (stopping && pending.empty())) {
            return;
        }
        // A margin for the network: the server counts from when batches arrive.
        const long long budget = credit_ms + (steady_ms() - answered_at) - kPacingMarginMs;
        if (budget < kTickMs) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs - budget));
            --batch;
            continue;
        }
        unkept[batch] = paced(pending, budget);
        held_back = !pending.empty();
        lock.unlock();
        if (!deliver(batch)) {
            return;
        }
        lock.lock();
        if (over) {
            return;
        }
    }
}

// Sends the batches from the first the server has not answered to `last`. A batch is sent
// again as it was, however often the network loses it: the server may have kept it before
// its answer was lost. A server that stays out of reach is left for the next (--server A,B),
// which is sent again every batch since the last one kept for good.
bool RankedClient::deliver(int last) {
    const long long began = steady_ms();
    long long lost_at = 0;  // when the server in use stopped answering
    while (next_batch <= last) {
        const Sent sent = send(next_batch, unkept[next_batch]);
        if (sent.taken) {
            lost_at = 0;
            next_batch = sent.next;
            continue;
        }
        std::unique_lock<std::mutex> lock(mutex);
        const bool leaving = stopping;
        lock.unlock();
        const long long now = steady_ms();
        lost_at = lost_at == 0 ? now : lost_at;
        if (now - began > (leaving ? kLastWordMs : bound_ms)) {
            ended("unreachable", "the leaderboard at " + servers[at] +
                                     " could not be reached for " +
                                     std::to_string((now - began) / 1000) + " s");
            return false;
        }
        if (servers.size() > 1 && now - lost_at >= kFailoverMs) {
            at = (at + 1) % servers.size();
            next_batch = kept;
            lost_at = 0;
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
    }
    return true;
}

RankedClient::Sent RankedClient::send(int batch, const std::string& lines) {
    const HttpReply reply = http_request(
        servers[at] + "/api/v1/attempts/" + attempt + "/records?batch=" + std::to_string(batch),
        &lines, "text/plain; charset=utf-8", {"Authorization: Bearer " + token}, kBatchSeconds);
    if (!reply.reached || reply.status >= 500 || reply.status == 429) {
        return Sent{false, batch};
    }
    const nlohmann::json answer = parsed(reply.body);
    const std::string state = text_of(answer, "state");
    // Out of turn after a change of server: the batch it expects, if this client still has it
    // (a batch answered by a server lost before it was kept, or one kept whose answer was lost).
    const long long expected = number_of(answer, "expected");
    if (reply.status == 409 && answer.contains("expected") && expected != batch &&
        expected >= kept && !unkept.empty() && expected <= unkept.rbegin()->first + 1) {
        return Sent{true, static_cast<int>(expected)};
    }
    if (reply.status == 200 && state == "live") {
        std::lock_guard<std::mutex> lock(mutex);
        if (answer.contains("kept") && number_of(answer, "kept") > kept) {
            kept = static_cast<int>(number_of(answer, "kept"));
            unkept.erase(unkept.begin(), unkept.lower_bound(kept));
        }
        answered_at = steady_ms();
        credit_ms = answer.contains("credit_ms") ? number_of(answer, "credit_ms") : credit_ms;
        watchers = answer.contains("watchers") ? number_of(answer, "watchers") : watchers;
        return Sent{true, batch + 1};
    }
    if (reply.status == 200 && state == "ranked") {
        std::lock_guard<std::mutex> lock(mutex);
        over = true;
        said = "RANKED: rank " + std::to_string(number_of(answer, "rank")) + " on the " + board;
        final_line = "ranked: rank " + std::to_string(number_of(answer, "rank")) + " on the " +
                     board + " at " + servers[at] + ": score " +
                     std::to_string(number_of(answer, "score")) + ", level " +
                     std::to_string(number_of(answer, "level")) + ", " +
                     std::to_string(number_of(answer, "ticks")) + " ticks";
        return Sent{true, batch + 1};
    }
    ended(state.empty() ? "refused" : state, words_of(reply));
    return Sent{true, batch + 1};
}

void RankedClient::ended(const std::string& state, const std::string& words) {
    std::lock_guard<std::mutex> lock(mutex);
    over = true;
    const std::string why = state == "quit" ? "left before GAME OVER" : words;
    said = "NOT RANKED: " + why;
    final_line = "not ranked (" + state + "): " + why;
}

std::string RankedClient::status(bool paused) const {
    std::lock_guard<std::mutex> lock(mutex);
    if (over) {
        return said;
    }
    if (!paused || complete) {
        return "RANKED " + board +
               (watchers > 0 ? " - " + std::to_string(watchers) + " watching" : "");
    }
    const long long left = bound_ms - (steady_ms() - dealt_at - ticks * kTickMs);
    return left > 0 ? "RANKED: a pause counts as time: resume within " +
                          std::to_string(left / 1000) + " s or this game is not ranked"
                    : "RANKED: paused too long: this game will not be ranked";
}

std::string RankedClient::summary() const {
    std::lock_guard<std::mutex> lock(mutex);
    return over ? final_line : "not ranked: the leaderboard had not answered when the game ended";
}

bool RankedClient::finished() const {
    std::lock_guard<std::mutex> lock(mutex);
    return over;
}
