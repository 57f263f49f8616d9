// The player's settings: the settings file read, refused and set aside, keys of the player's
// giving the designed game, and attract mode's demo, after which the GAME OVER screen is
// exactly what it was.
#include <gtest/gtest.h>

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "app/session.h"
#include "app/settings.h"
#include "game/snapshot.h"

namespace {

TEST(Settings, TextsReadAndRefused) {
    struct Case {
        const char* text;
        bool read;
        const char* error;  // a part of it
    };
    const Case cases[] = {
        {"velmora-settings 1\nframes designed\npalette colour-blind\nvolume 30\nsound off\n", true,
         ""},
        {"velmora-settings 1\nkey left j Left\nkey thrust k\n", true, ""},
        {"", false, "1:"},
        {"velmora-settings 2\n", false, "1:"},
        {"velmora-settings 1\nvolume 101\n", false, "2:"},
        {"velmora-settings 1\nframes fast\n", false, "2:"},
        {"velmora-settings 1\nkey fire a\nkey left a\n", false, "a is fire's key"},
        {"velmora-settings 1\nkey fire NoSuchKey\n", false, "no key is named"},
        {"velmora-settings 1\ncolour red\n", false, "unknown setting"},
        {"velmora-settings 1\npad fire 1 100\n", false, "gamepad button"},
    };
    for (const Case& c : cases) {
        Settings s;
        std::string error;
        EXPECT_EQ(Settings::parse(c.text, s, error), c.read) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << " -> " << error;
        if (c.read) {
            Settings again;
            EXPECT_TRUE(Settings::parse(s.text(), again, error)) << s.text();
            EXPECT_EQ(again.text(), s.text());
        }
    }
}

TEST(Settings, AFileThatCannotBeReadIsSetAsideWithOneLineAndTheDefaultsUsed) {
    char dir[] = "/tmp/velmora-settings-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/settings";
    Settings chosen;
    chosen.smooth = false;
    chosen.volume = 20;
    ASSERT_TRUE(save_settings(path, chosen));
    EXPECT_EQ(load_settings(path, stderr).text(), chosen.text());

    std::ofstream(path) << "velmora-settings 1\nvolume loud\n";
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(load_settings(path, err).text(), Settings{}.text());
    std::rewind(err);
    char said[512] = {};
    const size_t n = std::fread(said, 1, sizeof said - 1, err);
    std::fclose(err);
    EXPECT_EQ(std::count(said, said + n, '\n'), 1) << said;
    EXPECT_FALSE(std::ifstream(path).good());
    const std::string listing = [&] {
        std::string out;
        FILE* ls = popen(("ls " + std::string(dir)).c_str(), "r");
        char line[256];
        while (fgets(line, sizeof line, ls)) {
            out += line;
        }
        pclose(ls);
        return out;
    }();
    EXPECT_NE(listing.find("settings.bad-"), std::string::npos) << listing;
    EXPECT_EQ(std::system(("rm -rf " + std::string(dir)).c_str()), 0);
}

TEST(KeyMap, AKeyBelongsToOneActionAndTheGameSeesTheDesignedKeys) {
    KeyMap keys;
    std::string error;
    EXPECT_FALSE(keys.bind(Action::kFire, Key{false, 'a'}, error));
    EXPECT_EQ(error, "a is left's key");
    ASSERT_TRUE(keys.bind(Action::kLeft, Key{false, 'j'}, error));
    EXPECT_EQ(keys.action_of(Key{false, 'J'}), Action::kLeft);
    EXPECT_EQ(keys.action_of(Key{false, 'a'}), Action::kLeft);  // its second key now
    EXPECT_EQ(keys.action_of(Key{true, GLUT_KEY_LEFT}), std::nullopt);

    // The same keys by the designed names and by the player's leave the same game.
    Game designed_game;
    Game remapped_game;
    Session designed(designed_game, 5);
    Session remapped(remapped_game, 5);
    remapped.use_keys(keys);
    designed.play_now(5);
    remapped.play_now(5);
    for (int t = 0; t < 60; ++t) {
        if (t % 3 == 0) {
            designed.key('a');
            remapped.key('j');
        }
        designed.tick();
        remapped.tick();
    }
    EXPECT_EQ(GameSnapshot::save(designed_game), GameSnapshot::save(remapped_game));
}

TEST(Attract, TheDemoComesAfterTwentySecondsAndAnyKeyBringsBackGameOverAsItWas) {
    Game game;
    Session session(game, 7);
    session.play_now(7);
    std::stringstream demo;
    demo << std::ifstream(VELMORA_REPLAY_DIR "/game-over.replay").rdbuf();
    const std::string text = demo.str();
    ASSERT_FALSE(text.empty());
    session.attract_with([&text] { return text; });
    int ticks = 0;
    const auto step = [&session] {
        session.tick();
        session.display();  // a frame a tick, as the window draws them
    };
    while (!game.get_game_over() && ticks < 5000) {
        step();
        ++ticks;
    }
    ASSERT_TRUE(game.get_game_over());
    // The tick that ended the game is the first of the 400 left alone.
    for (int t = 0; t < 398; ++t) {
        step();
    }
    EXPECT_FALSE(session.showing_demo());
    const std::string over = GameSnapshot::save(game);
    step();
    EXPECT_TRUE(session.showing_demo());
    for (int t = 0; t < 30; ++t) {
        step();
    }
    EXPECT_FALSE(game.get_game_over());  // the demo's game is in play
    session.key('x');
    EXPECT_FALSE(session.showing_demo());
    EXPECT_EQ(GameSnapshot::save(game), over);
}

}  // namespace
