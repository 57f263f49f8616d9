// The desktop's high-score table: its order and its ten places, its file read strictly and
// written whole under a lock, a bad one set aside, and the name typed at GAME OVER.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "app/session.h"
#include "desktop/player_key.h"
#include "desktop/score_keeper.h"
#include "gl_recorder.h"

namespace {

ScoreEntry entry(const std::string& name, int score, long ticks, const std::string& date,
                 const std::string& recording = "game.replay") {
    return ScoreEntry{name, score, 2, ticks, date, 7, recording};
}

std::string folder_for_test() {
    std::string dir = ::testing::TempDir() + "velmora_scores_" + std::to_string(getpid()) + "_" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name();
    EXPECT_EQ(std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str()), 0);
    return dir;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ScoreTable, TenPlacesByScoreThenTicksThenDate) {
    ScoreTable table;
    std::vector<std::string> dropped;
    EXPECT_EQ(table.place_of(0, 100, "2026-12-07T10:00:00Z"), -1) << "no score, no place";
    EXPECT_EQ(table.insert(entry("Ana", 50, 900, "2026-12-07T10:00:00Z"), dropped), 0);
    EXPECT_EQ(table.insert(entry("Bo", 50, 800, "2026-12-07T11:00:00Z"), dropped), 0);
    EXPECT_EQ(table.insert(entry("Cy", 50, 800, "2026-12-07T12:00:00Z"), dropped), 1);
    EXPECT_EQ(table.insert(entry("Di", 70, 5000, "2026-12-07T13:00:00Z"), dropped), 0);
    for (int i = 0; i < 6; ++i) {
        table.insert(entry("low" + std::to_string(i), 10 + i, 100, "2026-12-07T14:00:00Z",
                           "low" + std::to_string(i) + ".replay"),
                     dropped);
    }
    ASSERT_EQ(table.entries().size(), 10u);
    EXPECT_TRUE(dropped.empty());
    // The tenth is the lowest: a game must beat it, and then the lowest goes, recording and all.
    EXPECT_EQ(table.place_of(10, 99, "2026-12-07T15:00:00Z"), 9);
    EXPECT_EQ(table.place_of(10, 100, "2026-12-07T15:00:00Z"), -1);
    EXPECT_EQ(table.insert(entry("Ed", 11, 1, "2026-12-07T15:00:00Z"), dropped), 8);
    EXPECT_EQ(dropped, std::vector<std::string>{"low0.replay"});
    const char* order[] = {"Di", "Bo", "Cy", "Ana", "low5", "low4", "low3", "low2", "Ed", "low1"};
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(table.entries()[i].name, order[i]) << i;
    }
}

TEST(ScoreTable, ItsTextReadsBackAndAnythingElseIsRefusedWhole) {
    ScoreTable table;
    std::vector<std::string> dropped;
    table.set_last_name("Ana K-1");
    table.insert(entry("Ana K-1", 443, 905, "2026-12-07T10:00:00Z"), dropped);
    table.insert(entry("Bo", 1, 344, "2026-12-07T11:00:00Z"), dropped);
    ScoreTable again;
    std::string error;
    ASSERT_TRUE(ScoreTable::parse(table.text(), again, error)) << error;
    EXPECT_EQ(again.text(), table.text());
    EXPECT_EQ(again.last_name(), "Ana K-1");
    const std::string head = "velmora-scores 1\n";
    const std::string good = "entry 5 1 300 2026-12-07T10:00:00Z 7 g.replay Ana\n";
    const struct {
        std::string text;
        const char* problem;
    } bad[] = {
        {"", "1: empty"},
        {"velmora-scores 2\n", "1: not a Velmora score table"},
        {head + "entry 5 1 300 2026-12-07T10:00:00Z 7 g.replay\n", "2: not an entry"},
        {head + "entry 5 1 300 2026-12-07T10:00:00Z 7 ../g.replay Ana\n", "2: not an entry"},
        {head + "entry 5 1 300 2026-12-07T10:00:00Z 7 /etc/g.replay Ana\n", "2: not an entry"},
        {head + "entry 5 1 300 2026-12-07 7 g.replay Ana\n", "2: not an entry"},
        {head + "entry -5 1 300 2026-12-07T10:00:00Z 7 g.replay Ana\n", "2: not an entry"},
        {head + "entry 5 1 300 2026-12-07T10:00:00Z 7 g.replay Ana<3\n", "2: not an entry"},
        {head + "entry 5 1 300 2026-12-07T10:00:00Z 7 g.replay 1234567890123\n", "2: not an entry"},
        {head + good + "entry 9 1 300 2026-12-07T10:00:00Z 7 g.replay Bo\n",
         "3: not an entry in order"},
        {head +
             [&] {
                 std::string eleven;
                 for (int i = 0; i < 11; ++i) {
                     eleven += good;
                 }
                 return eleven;
             }(),
         "12: not an entry"},
    };
    for (const auto& b : bad) {
        ScoreTable t;
        EXPECT_FALSE(ScoreTable::parse(b.text, t, error)) << b.text;
        EXPECT_EQ(error.substr(0, std::string(b.problem).size()), b.problem) << b.text;
    }
}

TEST(ScoreFolder, ABadTableIsSetAsideOnceAndANewOneStarts) {
    const std::string dir = folder_for_test();
    { std::ofstream(dir + "/scores") << "velmora-scores 1\nentry rubbish\n"; }
    ScoreFolder folder(dir);
    std::FILE* said = std::tmpfile();
    EXPECT_TRUE(folder.read(said).entries().empty());
    std::rewind(said);
    char line[512] = "";
    ASSERT_NE(std::fgets(line, sizeof line, said), nullptr);
    EXPECT_NE(std::string(line).find("2: not an entry"), std::string::npos) << line;
    EXPECT_NE(std::string(line).find("set aside as " + dir + "/scores.bad-"), std::string::npos);
    std::fclose(said);
    EXPECT_EQ(std::system(("ls '" + dir + "'/scores.bad-* > /dev/null").c_str()), 0);
    EXPECT_EQ(read_file(dir + "/scores"), "") << "the bad file is gone from its place";
    std::string error;
    ASSERT_TRUE(folder.update(
        [](ScoreTable& t, std::vector<std::string>& d) {
            t.insert(entry("Ana", 5, 10, "2026-12-07T10:00:00Z"), d);
        },
        stderr, error))
        << error;
    EXPECT_EQ(folder.read(stderr).entries().size(), 1u);
}

// A reader holding the old table goes on reading it whole while the new one takes its place,
// as a crash would leave it: the new table is a new file, renamed over the old.
TEST(ScoreFolder, AnUpdateReplacesTheTableWholeAndLeavesNothingElse) {
    const std::string dir = folder_for_test();
    ScoreFolder folder(dir);
    const auto add = [&](const std::string& name, int score) {
        std::string error;
        EXPECT_TRUE(folder.update(
            [&](ScoreTable& t, std::vector<std::string>& d) {
                t.insert(entry(name, score, 10, "2026-12-07T10:00:00Z"), d);
            },
            stderr, error))
            << error;
    };
    add("Ana", 5);
    const std::string before = read_file(dir + "/scores");
    std::ifstream old_table(dir + "/scores");
    add("Bo", 9);
    std::stringstream still;
    still << old_table.rdbuf();
    EXPECT_EQ(still.str(), before);
    EXPECT_EQ(folder.read(stderr).entries().size(), 2u);
    EXPECT_EQ(
        std::system(
            ("test \"$(ls -A '" + dir + "')\" = \"$(printf 'scores\\nscores.lock')\"").c_str()),
        0)
        << "a temporary file is left";
}

// Two processes at once, forty games between them: every one is weighed against the others,
// so the table holds exactly the best ten of all forty. Without the lock, updates are lost.
TEST(ScoreFolder, GamesEndingAtOnceAllGetTheirChance) {
    const std::string dir = folder_for_test();
    ScoreFolder folder(dir);
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        if (children[c] == 0) {
            for (int i = 0; i < 20; ++i) {
                const int score = 100 + 2 * i + c;  // 100 to 139, each once
                std::string error;
                const bool ok = folder.update(
                    [&](ScoreTable& t, std::vector<std::string>& d) {
                        t.insert(entry("P" + std::to_string(score), score, 10,
                                       "2026-12-07T10:00:00Z", "g" + std::to_string(score)),
                                 d);
                    },
                    stderr, error);
                if (!ok) {
                    _exit(1);
                }
            }
            _exit(0);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const ScoreTable table = folder.read(stderr);
    ASSERT_EQ(table.entries().size(), 10u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(table.entries()[i].score, 139 - i);
    }
}

TEST(ScoreKeeper, TheNameTakesWhatANameMayHoldAndEnterKeepsIt) {
    gl::keep_everything(false);
    const std::string dir = folder_for_test();
    ScoreKeeper keeper(ScoreFolder(dir), stderr);
    std::unique_ptr<Recorder> recording = keeper.record_game(7);
    ASSERT_NE(recording, nullptr);
    keeper.game_over(Outcome{344, 0, 1, 0});
    ASSERT_TRUE(keeper.asking());
    for (int i = 0; i < 20; ++i) {
        keeper.key(8);  // Backspace, past the start
    }
    keeper.key('\r');  // an empty name is not kept
    EXPECT_TRUE(keeper.asking());
    for (const char c : std::string("Ana K-1_<>!:xyzwvut")) {
        keeper.key(static_cast<unsigned char>(c));
    }
    keeper.key(127);  // Delete, as many keyboards send Backspace
    keeper.key('\r');
    EXPECT_FALSE(keeper.asking());
    EXPECT_TRUE(keeper.showing());
    const ScoreTable table = ScoreFolder(dir).read(stderr);
    ASSERT_EQ(table.entries().size(), 1u);
    EXPECT_EQ(table.entries()[0].name, "Ana K-1_xyz");  // twelve at most, then one taken off
    EXPECT_EQ(table.last_name(), "Ana K-1_xyz");
    EXPECT_EQ(std::ifstream(dir + "/" + table.entries()[0].recording).good(), true);

    // A game that does not score: no name asked, the table at once, its recording gone.
    recording = keeper.record_game(8);
    keeper.game_over(Outcome{100, 0, 0, 0});
    EXPECT_FALSE(keeper.asking());
    EXPECT_TRUE(keeper.showing());
    EXPECT_EQ(std::system(("test $(ls '" + dir + "'/*.replay | wc -l) -eq 1").c_str()), 0);

    // A game it has no recording of (none could be written) shows the table, naming nothing.
    keeper.game_over(Outcome{400, 0, 900, 0});
    EXPECT_FALSE(keeper.asking());
    EXPECT_EQ(ScoreFolder(dir).read(stderr).entries().size(), 1u);
    gl::keep_everything(true);
}

// In a session: every game is recorded to the folder as it is played; a game that enters the
// table keeps its recording, the name typed and then Enter starts the next game; a game left
// before its end leaves nothing behind.
TEST(ScoreKeeper, InASessionOnlyTheTablesGamesKeepTheirRecordings) {
    gl::keep_everything(false);
    const std::string dir = folder_for_test();
    const auto recordings = [&] {
        return std::system(("exit $(ls '" + dir + "' | grep -c '[.]replay$')").c_str()) >> 8;
    };
    Game game;
    Session session(game, 7);
    session.keep_games(std::make_unique<ScoreKeeper>(ScoreFolder(dir), stderr));
    session.start(7);
    EXPECT_EQ(recordings(), 1) << "the game is recorded as it is played";
    for (int t = 0; t < 344; ++t) {  // seed 7 with no keys: GAME OVER at tick 344
        session.tick();
        session.display();
    }
    ASSERT_TRUE(game.get_game_over());
    for (int i = 0; i < 12; ++i) {
        session.key(8);  // Backspace: the name offered goes
    }
    for (const unsigned char k : {'Z', 'e', 'd', '\r'}) {
        session.key(k);
    }
    session.key('\r');  // the table shown: Enter starts the next game
    EXPECT_FALSE(game.get_game_over());
    EXPECT_EQ(recordings(), 2);
    session.finish();
    EXPECT_EQ(recordings(), 1);
    const ScoreTable table = ScoreFolder(dir).read(stderr);
    ASSERT_EQ(table.entries().size(), 1u);
    EXPECT_EQ(table.entries()[0].name, "Zed");
    EXPECT_TRUE(std::ifstream(dir + "/" + table.entries()[0].recording).good());
    gl::keep_everything(true);
}

TEST(PlayerKey, IsMadeOnceReadableByItsOwnerAlone) {
    const ScoreFolder folder(folder_for_test());
    std::string error;
    const std::optional<std::string> key = player_key(folder, error);
    ASSERT_TRUE(key.has_value()) << error;
    EXPECT_EQ(key->size(), 64u);
    EXPECT_EQ(player_key(folder, error), key) << "the same key every time";
    struct stat info {};
    ASSERT_EQ(stat((folder.path() + "/player-key").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const ScoreFolder other(folder_for_test() + "-other");
    EXPECT_NE(player_key(other, error), key) << "each folder its own random key";
}

TEST(PlayerKey, ItsCodeCarriesKeyAndNameAndCatchesALetterCopiedWrong) {
    const std::string key = "00ff10e0" + std::string(56, 'a');
    for (const std::string name : {"Ana", "Zoë-Ji 2", "名前", "x"}) {
        const std::string code = key_code(key, name);
        std::string got_key, got_name, error;
        ASSERT_TRUE(read_key_code(code, got_key, got_name, error)) << code << ": " << error;
        EXPECT_EQ(got_key, key);
        EXPECT_EQ(got_name, name);
        // Typed again in lower case, with spaces for dashes: the same code.
        std::string typed = code;
        for (char& c : typed) {
            c = c == '-' ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        EXPECT_TRUE(read_key_code(typed, got_key, got_name, error)) << typed << ": " << error;
        // One letter of the key's part copied wrong.
        std::string wrong = code;
        wrong[6] = wrong[6] == 'A' ? 'B' : 'A';
        EXPECT_FALSE(read_key_code(wrong, got_key, got_name, error)) << wrong;
        EXPECT_NE(error.find("copied wrong"), std::string::npos) << error;
    }
    std::string k, n, error;
    for (const char* bad : {"", "VK1", "XK1-AAAA-AAAA", "VK1-0000"}) {
        EXPECT_FALSE(read_key_code(bad, k, n, error)) << bad;
    }
}

}  // namespace
