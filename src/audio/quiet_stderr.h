// While one lives, what the sound libraries write to stderr goes nowhere: ALSA and OpenAL Soft
// complain in three lines on a machine without sound while a device is looked for, and the game
// says what matters in one line of its own. A file of each platform's makes it.
#pragma once

class QuietStderr {
  public:
    QuietStderr();
    ~QuietStderr();
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

  private:
    int saved;  // stderr, as it was
};
