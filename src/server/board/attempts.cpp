#include "server/board/attempts.h"

#include <algorithm>
#include <cstdio>

#include "replay/record_counts.h"
#include "server/board/dealer.h"
#include "server/board/names.h"
#include "server/limits.h"

namespace {

AttemptReply refused(Refusal kind, const std::string& reason) {
    AttemptReply r;
    r.refused = Refused{kind, reason};
    return r;
}

// An attempt no longer live: refused, saying how it stands.
AttemptReply over_already(const Attempt& a, const std::string& why) {
    AttemptReply r = standing(a);
    r.refused = Refused{Refusal::kOutOfTurn, why};
    return r;
}

}  // namespace

AttemptReply standing(const Attempt& a) {
    AttemptReply r;
    r.state = a.state;
    r.reason = a.reason;
    r.ticks = a.ticks;
    r.batches = a.batches;
    return r;
}

Attempts::Attempts(Store& s, Players& p, Broadcast& b, const Rules& r)
    : store(s),
      players(p),
      broadcast(b),
      rules(r),
      secret(s.secret("daily", random_hex(32))),
      writer(s, [this](const Store::BatchToKeep& batch) { written(batch); }),
      verifiers(r.verifiers, limits::kLiveQueue, limits::kVerifierNice) {}

Dealt Attempts::create(const AttemptAsked& asked, const std::string& client) {
    Dealt dealt;
    Attempt& a = dealt.attempt;
    const auto refuse = [&dealt](Refusal kind, const std::string& reason) {
        dealt.refused = Refused{kind, reason};
        return dealt;
    };
    const std::optional<Board> board = board_named(asked.board);
    if (!board || *board == Board::kUploaded) {
        return refuse(Refusal::kMalformed, "the board is \"open\" or \"daily\"");
    }
    a.board = *board;
    const long long now = rules.clock();
    const std::string today = utc_day(now);
    a.day = asked.day;
    if (a.board == Board::kOpen && !a.day.empty()) {
        return refuse(Refusal::kMalformed, "only the daily board has days");
    }
    if (a.board == Board::kDaily) {
        a.day = a.day.empty() ? today : a.day;
        if (!valid_day(a.day)) {
            return refuse(Refusal::kMalformed, "a day is written YYYY-MM-DD");
        }
        if (a.day > today) {
            return refuse(Refusal::kUnrankable,
                          "the daily challenge of " + a.day + " is not dealt yet");
        }
    }
    // The limits first, then the name: a client over them holds nothing, checks no key.
    if (store.live_attempts(client) >= limits::kLiveAttemptsPerAddress) {
        return refuse(Refusal::kTooMany, "more than " +
                                             std::to_string(limits::kLiveAttemptsPerAddress) +
                                             " ranked games are live from this address: end one");
    }
    std::string why;
    const std::optional<std::string> name = valid_name(asked.name, why);
    if (!name) {
        return refuse(Refusal::kMalformed, why);
    }
    if (Refused refused = players.admit(*name, asked.key, client)) {
        dealt.refused = refused;
        return dealt;
    }
    dealt.token = random_hex(limits::kTokenBytes);
    a.token_hash = content_hash(dealt.token);
    a.seed = a.board == Board::kOpen ? random_seed() : daily_seed(secret, a.day);
    a.name = *name;
    a.player = name_key(*name);
    a.client = client;
    a.ranked = a.board == Board::kOpen || a.day == today;
    a.reason = a.ranked ? "" : "a past day's challenge plays unranked";
    a.started = now;
    a.credit = limits::kBatchCreditMs;
    a.key_hash = asked.key.empty() ? "" : players.hash(asked.key);
    a = store.add_attempt(a);
    return dealt;
}

AttemptReply Attempts::batch(long long id, int n, const std::string& token,
                             const std::string& lines) {
    const std::shared_ptr<Live> live = live_of(id);
    std::unique_lock<std::mutex> lock(live->ledger_mutex);
    // A game this server has not taken batches of (or not lately) is read from the database;
    // so is one whose client asks for more than this server took: another may have taken them.
    if (!live->ledger || n > live->ledger->batches) {
        const std::optional<Attempt> found = store.attempt(id);
        if (!found) {
            lock.unlock();
            forget(id);
            return refused(Refusal::kNotFound, "no such attempt");
        }
        if (!live->ledger || found->batches > live->ledger->batches ||
            found->state != AttemptState::kLive) {
            live->ledger = *found;
            live->kept = found->batches;
        }
    }
    const Attempt a = *live->ledger;
    if (token.empty() || !same_hash(content_hash(token), a.token_hash)) {
        return refused(Refusal::kWrongToken, "the token does not match this attempt");
    }
    if (a.state != AttemptState::kLive) {
        // A retry of the batch that ended it (its answer lost): how it ended, as then.
        if (n == a.batches - 1) {
            AttemptReply r = standing(a);
            if (const std::optional<Entry> e = a.game != 0 ? store.entry(a.game) : std::nullopt) {
                r.entry = e;
                r.outcome = Outcome{static_cast<long>(e->ticks), e->level, e->score, e->lives};
            }
            return r;
        }
        return over_already(a, std::string("the attempt has ended (") + name_of(a.state) + ")");
    }
    if (n < a.batches) {  // a retry of one taken already: the game's end is settled again
        if (n == a.batches - 1 && a.ends) {
            AttemptReply waits;
            waits.settle = [this, a, n] { return settle(a, n); };
            return waits;
        }
        AttemptReply r = standing(a);
        r.kept = live->kept;
        return r;
    }
    if (n > a.batches) {
        AttemptReply out = refused(Refusal::kOutOfTurn, "batch " + std::to_string(n) +
                                                            " out of order: the next is " +
                                                            std::to_string(a.batches));
        out.expected = a.batches;
        return out;
    }
    const long long now = rules.clock();
    const RecordCounts counts = count_records(lines);
    const long long ticks = a.ticks + counts.ticks;
    // What the batch may bring: the play of the time since the last one, and the credit left
    // (time unplayed before, kept up to a bound).
    const long long credit = (now - a.seen) / 1000 + a.credit;
    const long long play_ms = std::max(1L, counts.ticks) * kTickMs;
    std::string fault = oversized(counts);
    fault = !fault.empty() ? fault : timing_fault(a, ticks, now);
    if (fault.empty() && play_ms > credit) {
        fault = "a batch brought " + std::to_string(play_ms) + " ms of play, more than the " +
                std::to_string(credit) +
                " ms the time since the last one and the credit allow: a game played slowly "
                "cannot be made up by playing it fast";
    }
    if (!fault.empty()) {
        lock.unlock();
        forget(id);
        return ended(a, n, lines, LiveGame::Step{LiveGame::State::kRefused, fault, Outcome{}},
                     ticks, now);
    }
    const bool ends = counts.overs + counts.ends > 0;
    const long long left = std::min(limits::kBatchCreditMs, credit - play_ms);
    const auto shared = std::make_shared<const std::string>(lines);
    if (!take(*live, n, shared,
              Store::Progress{now, ticks, left, ends, live->level.load(), live->score.load()})) {
        return refused(Refusal::kBusy,
                       "the server is keeping more batches than it holds: send this one again "
                       "shortly");
    }
    const Attempt taken = *live->ledger;
    AttemptReply kept = standing(taken);
    kept.lag_ms = (now - a.started) / 1000 - ticks * kTickMs;
    kept.credit_ms = left;
    kept.kept = live->kept;
    kept.watchers = watchers_of(id);
    lock.unlock();
    if (ends) {
        // Its GAME OVER is answered with its rank: once every batch is kept and played.
        AttemptReply waits;
        waits.settle = [this, taken, n] { return settle(taken, n); };
        return waits;
    }
    // Played on the verifiers, which yield to the threads that answer; here if they are full.
    const auto play_it = [this, taken, n, shared] { verify(taken, n, shared); };
    if (rules.verifiers == 0 || !verifiers.submit(play_it)) {
        play_it();
    }
    return kept;
}

bool Attempts::take(Live& live, int n, const std::shared_ptr<const std::string>& lines,
                    const Store::Progress& p) {
    Attempt& a = *live.ledger;
    if (!writer.keep(Store::BatchToKeep{a.id, n, lines, p, false})) {
        return false;
    }
    a.batches = n + 1;
    a.seen = p.seen;
    a.ticks = p.ticks;
    a.credit = p.credit;
    a.ends = p.ends;
    live.unkept[n] = lines;
    return true;
}

std::string Attempts::oversized(const RecordCounts& n) {
    const long ticks = std::max(1L, n.ticks);
    if (n.ticks > limits::kBatchTicks) {
        return "a batch brought " + std::to_string(n.ticks) + " ticks, more than a minute's (" +
               std::to_string(limits::kBatchTicks) + ")";
    }
    if (n.keys > ticks * limits::kBatchKeysPerTick) {
        return "a batch brought " + std::to_string(n.keys) + " keys in " + std::to_string(n.ticks) +
               " ticks, more than " + std::to_string(limits::kBatchKeysPerTick) + " a tick";
    }
    if (n.frames > ticks + kFramesBeforeFirstTick) {
        return "a batch brought " + std::to_string(n.frames) + " frames in " +
               std::to_string(n.ticks) + " ticks: the game is framed once a tick";
    }
    if (n.lines > n.headers + n.ticks + n.frames + n.keys + n.seeds + n.overs + n.ends) {
        return "a batch holds lines that are no records of a recording";
    }
    return "";
}

std::string Attempts::timing_fault(const Attempt& a, long long ticks, long long now) const {
    const long long elapsed = (now - a.started) / 1000;
    const long long played = ticks * kTickMs;
    const long long silent = (now - a.seen) / 1000;
    if (silent > rules.bound_ms) {
        return "nothing came for " + std::to_string(silent / 1000) + " s, past the " +
               std::to_string(rules.bound_ms / 1000) + " s a ranked game's inputs may be held up";
    }
    if (played - rules.ahead_ms > elapsed) {
        return "the inputs came faster than real time: tick " + std::to_string(ticks) + " came " +
               std::to_string(elapsed) + " ms after the start";
    }
    if (elapsed - played > rules.bound_ms) {
        return "the game fell behind real time by " + std::to_string((elapsed - played) / 1000) +
               " s, past the " + std::to_string(rules.bound_ms / 1000) +
               " s a ranked game may pause or lag";
    }
    return "";
}
