#include "server/attempts.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "server/dealer.h"
#include "server/json.h"
#include "server/limits.h"
#include "server/metrics.h"
#include "server/names.h"

namespace {

std::string attempt_json(const Attempt& a) {
    JsonObject o;
    o.add("attempt", a.id).add("board", a.board);
    if (a.board == "daily") {
        o.add("day", a.day);
    }
    o.add("name", a.name).add("state", a.state).add_bool("ranked", a.ranked);
    o.add("reason", a.reason).add("ticks", a.ticks).add("batches", a.batches);
    if (a.state != "live") {
        o.add("seed", static_cast<long long>(a.seed));
    }
    if (a.game != 0) {
        o.add("game", a.game);
    }
    return o.text();
}

Answer refused_answer(int status, const Attempt& a, const std::string& error) {
    return Answer{
        status,
        JsonObject().add("error", error).add("state", a.state).add("reason", a.reason).text()};
}

// Tick records in a batch's lines.
long long ticks_in(const std::string& lines) {
    long long n = 0;
    for (size_t at = 0; at < lines.size(); at = lines.find('\n', at) + 1) {
        n += lines.compare(at, 2, "t ") == 0;
        if (lines.find('\n', at) == std::string::npos) {
            break;
        }
    }
    return n;
}

// Whether the lines hold the game's end: its over record, or end if it was left.
bool ends_game(const std::string& lines) {
    return lines.compare(0, 5, "over ") == 0 || lines.compare(0, 4, "end ") == 0 ||
           lines.find("\nover ") != std::string::npos || lines.find("\nend ") != std::string::npos;
}

// A field of a JSON object as text; "" if it is missing or not a string.
std::string text_field(const nlohmann::json& o, const char* key) {
    const auto it = o.find(key);
    return it != o.end() && it->is_string() ? it->get<std::string>() : "";
}

}  // namespace

Attempts::Attempts(Store& s, Players& p, const Rules& r)
    : store(s),
      players(p),
      rules(r),
      secret(s.secret(random_hex(32))),
      verifiers(r.verifiers, limits::kLiveQueue, limits::kVerifierNice) {}

Answer Attempts::create(const std::string& body, const std::string& client) {
    const nlohmann::json request = nlohmann::json::parse(body, nullptr, false);
    if (!request.is_object()) {
        return error_answer(400,
                            "an attempt is asked for with a JSON object, such as "
                            "{\"board\": \"open\", \"name\": \"Ana\"}");
    }
    Attempt a;
    a.board = text_field(request, "board");
    if (a.board != "open" && a.board != "daily") {
        return error_answer(400, "the board is \"open\" or \"daily\"");
    }
    std::string why;
    const std::optional<std::string> name = valid_name(text_field(request, "name"), why);
    if (!name) {
        return error_answer(400, why);
    }
    const std::string key = text_field(request, "key");
    if (const std::string refused = players.admit(*name, key); !refused.empty()) {
        return error_answer(Players::well_formed(key) || key.empty() ? 403 : 400, refused);
    }
    const long long now = now_micros();
    const std::string today = utc_day(now);
    a.day = text_field(request, "day");
    if (a.board == "open" && !a.day.empty()) {
        return error_answer(400, "only the daily board has days");
    }
    if (a.board == "daily") {
        a.day = a.day.empty() ? today : a.day;
        if (!valid_day(a.day)) {
            return error_answer(400, "a day is written YYYY-MM-DD");
        }
        if (a.day > today) {
            return error_answer(422, "the daily challenge of " + a.day + " is not dealt yet");
        }
    }
    if (store.live_attempts(client) >= limits::kLiveAttemptsPerAddress) {
        Answer busy =
            error_answer(429, "more than " + std::to_string(limits::kLiveAttemptsPerAddress) +
                                  " ranked games are live from this address: end one");
        busy.headers.push_back({"Retry-After", std::to_string(limits::kRetryAfter)});
        return busy;
    }
    const std::string token = random_hex(limits::kTokenBytes);
    a.token_hash = content_hash(token);
    a.seed = a.board == "open" ? random_seed() : daily_seed(secret, a.day);
    a.name = *name;
    a.player = name_key(*name);
    a.client = client;
    a.ranked = a.board == "open" || a.day == today;
    a.reason = a.ranked ? "" : "a past day's challenge plays unranked";
    a.started = now;
    const Attempt kept = store.add_attempt(a);
    JsonObject o;
    o.add("attempt", kept.id).add("seed", static_cast<long long>(kept.seed));
    o.add("board", kept.board);
    if (kept.board == "daily") {
        o.add("day", kept.day);
    }
    o.add("token", token).add_bool("ranked", kept.ranked).add("reason", kept.reason);
    o.add("tick_ms", kTickMs).add("bound_ms", rules.bound_ms);
    o.add("batch_ms", limits::kBatchEveryMs);
    return Answer{201, o.text()};
}

Answer Attempts::show(long long id) {
    const std::optional<Attempt> a = store.attempt(id);
    return a ? Answer{200, attempt_json(*a)} : error_answer(404, "no such attempt");
}

Answer Attempts::batch(long long id, const std::string& batch, const std::string& token,
                       const std::string& lines) {
    const std::optional<Attempt> found = store.attempt(id);
    if (!found) {
        return error_answer(404, "no such attempt");
    }
    const Attempt& a = *found;
    if (token.empty() || !same_hash(content_hash(token), a.token_hash)) {
        Answer denied = error_answer(401, "the token does not match this attempt");
        denied.headers.push_back({"WWW-Authenticate", "Bearer"});
        return denied;
    }
    if (batch.empty() || batch.size() > 9 || batch.find_first_not_of("0123456789") != batch.npos) {
        return error_answer(400, "a batch is numbered from 0: ?batch=N");
    }
    const int n = std::stoi(batch);
    if (a.state != "live") {
        return refused_answer(409, a, "the attempt has ended (" + a.state + ")");
    }
    if (n < a.batches) {  // a retry of one kept already
        return Answer{200, JsonObject()
                               .add("state", a.state)
                               .add("ticks", a.ticks)
                               .add("batches", a.batches)
                               .text()};
    }
    if (n > a.batches) {
        return Answer{
            409, JsonObject()
                     .add("error", "batch " + std::to_string(n) + " out of order: the next is " +
                                       std::to_string(a.batches))
                     .add("expected", a.batches)
                     .text()};
    }
    const long long now = now_micros();
    const long long ticks = a.ticks + ticks_in(lines);
    const std::string late = timing_fault(a, ticks, now);
    if (!late.empty()) {
        forget(id);
        return ended(a, n, lines, LiveGame::Step{LiveGame::State::kRefused, late, Outcome{}}, ticks,
                     now);
    }
    if (!store.add_batch(id, n, lines, now, ticks)) {
        forget(id);  // another server, or a retry, got there first
        const std::optional<Attempt> now_is = store.attempt(id);
        return now_is ? refused_answer(409, *now_is, "the batch was taken meanwhile")
                      : error_answer(404, "no such attempt");
    }
    if (ends_game(lines)) {
        // Its GAME OVER is answered with its rank: once every batch is played.
        Answer waits;
        waits.later = [this, a, n] { return settle(a, n); };
        return waits;
    }
    // Played on the verifiers, which yield to the threads that answer; here if they are full.
    const auto play = [this, a, n, lines] { verify(a, n, lines); };
    if (rules.verifiers == 0 || !verifiers.submit(play)) {
        play();
    }
    return Answer{200, JsonObject()
                           .add("state", "live")
                           .add("ticks", ticks)
                           .add("batches", n + 1)
                           .add("lag_ms", (now - a.started) / 1000 - ticks * kTickMs)
                           .text()};
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

LiveGame::Step Attempts::play_to(const Attempt& a, int n, Live& live) {
    // From where this server's game of it stands: its batches the server has not played are in
    // the database (another server took them, or this one restarted).
    if (!live.game || live.applied > n + 1) {
        live.game = std::make_unique<LiveGame>(a.seed);
        live.applied = 0;
    }
    LiveGame::Step step{live.game->state(), "", Outcome{}};
    for (const std::string& lines : store.batches(a.id, live.applied, n + 1)) {
        step = live.game->feed(lines);
        ++live.applied;
        if (step.state != LiveGame::State::kPlaying) {
            break;
        }
    }
    if (step.state == LiveGame::State::kPlaying && live.applied != n + 1) {
        live.game.reset();
        throw StoreError("the attempt's batches are not all in the database");
    }
    return step;
}

void Attempts::verify(const Attempt& a, int n, const std::string& lines) {
    const std::shared_ptr<Live> live = live_of(a.id);
    std::lock_guard<std::mutex> lock(live->mutex);
    if (live->game && live->applied > n) {
        return;  // played already, on the way to a later batch
    }
    try {
        // The next batch of a game this server plays needs no database.
        const bool next = live->game && live->applied == n;
        const LiveGame::Step step = next ? live->game->feed(lines) : play_to(a, n, *live);
        live->applied = n + 1;
        if (step.state == LiveGame::State::kRefused) {
            const long long ticks = live->game->ticks();
            live->game.reset();
            ended(a, n, "", step, ticks, now_micros());
        }
    } catch (const StoreError& e) {
        std::fprintf(stderr, "velmora-server: attempt %lld, batch %d: %s\n", a.id, n, e.what());
    }
}

Answer Attempts::settle(const Attempt& a, int n) {
    const std::shared_ptr<Live> live = live_of(a.id);
    std::lock_guard<std::mutex> lock(live->mutex);
    const LiveGame::Step step = play_to(a, n, *live);
    const long long ticks = live->game->ticks();
    live->game.reset();
    if (step.state == LiveGame::State::kPlaying) {  // its end was not where the lines said
        return ended(a, n, "",
                     LiveGame::Step{LiveGame::State::kRefused,
                                    "the recording's last batch does not end the game", Outcome{}},
                     ticks, now_micros());
    }
    return ended(a, n, "", step, ticks, now_micros());
}

void Attempts::forget(long long id) {
    std::lock_guard<std::mutex> lock(mutex);
    games.erase(id);
}

Answer Attempts::ended(const Attempt& a, int n, const std::string& lines,
                       const LiveGame::Step& step, long long ticks, long long now) {
    Store::Ending ending{"refused", step.reason, now, ticks, nullptr};
    NewGame game{"",
                 a.name,
                 step.outcome.score,
                 step.outcome.level,
                 step.outcome.lives,
                 ticks,
                 utc_now(),
                 "",
                 a.board,
                 a.day};
    if (step.state == LiveGame::State::kEnded) {
        ending = Store::Ending{"quit", "the game was left before GAME OVER", now, ticks, nullptr};
    } else if (step.state == LiveGame::State::kOver) {
        ending = a.ranked ? Store::Ending{"ranked", "", now, ticks, &game}
                          : Store::Ending{"played", a.reason, now, ticks, nullptr};
    }
    if (ending.state == "refused") {
        Metrics::server().refused(ending.reason);
    } else if (step.state == LiveGame::State::kOver) {
        Metrics::server().verified();
    }
    Entry entry;
    if (!store.end_attempt(a.id, n, lines, ending, &entry)) {
        const std::optional<Attempt> now_is = store.attempt(a.id);
        return now_is ? refused_answer(409, *now_is, "the attempt ended meanwhile")
                      : error_answer(404, "no such attempt");
    }
    JsonObject o;
    o.add("state", ending.state).add("reason", ending.reason).add("ticks", ticks);
    if (step.state == LiveGame::State::kOver) {
        o.add("score", step.outcome.score).add("level", step.outcome.level);
        o.add("lives", step.outcome.lives);
    }
    if (entry.id != 0) {
        o.add("game", entry.id).add("rank", entry.rank).add("board", entry.board);
        o.add("day", entry.day);
    }
    return Answer{ending.state == "refused" ? 422 : 200, o.text()};
}

std::shared_ptr<Attempts::Live> Attempts::live_of(long long id) {
    std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<Live>& live = games[id];
    if (!live) {
        live = std::make_shared<Live>();
    }
    live->used = now_micros();
    return live;
}

void Attempts::sweep() {
    const long long now = now_micros();
    const long long silence = rules.bound_ms + limits::kExpiryGraceMs;
    store.expire_attempts(
        now - silence * 1000,
        "nothing came for " + std::to_string(silence / 1000) + " s: the attempt expired");
    std::lock_guard<std::mutex> lock(mutex);
    for (auto it = games.begin(); it != games.end();) {
        bool done = false;
        {
            // One being played now is not let go.
            std::unique_lock<std::mutex> busy(it->second->mutex, std::try_to_lock);
            done =
                busy.owns_lock() && (!it->second->game || it->second->used < now - silence * 1000);
        }
        it = done ? games.erase(it) : std::next(it);
    }
}

size_t Attempts::kept() const {
    std::lock_guard<std::mutex> lock(mutex);
    return games.size();
}

size_t Attempts::memory() const {
    std::lock_guard<std::mutex> lock(mutex);
    size_t bytes = 0;
    for (const auto& [id, live] : games) {
        std::lock_guard<std::mutex> busy(live->mutex);
        bytes += sizeof(Live) + (live->game ? live->game->memory() : 0);
    }
    return bytes;
}
