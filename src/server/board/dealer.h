// What the server deals a ranked game: its seed (random on the open board; on the daily board
// the day's, from the server's secret and the date, so nobody can learn tomorrow's layout
// before it comes), and the token its client must show with every later request of it.
#pragma once

#include <string>

// Random bytes from the system's generator, as lowercase hex: 2 digits a byte.
std::string random_hex(int bytes);
// A seed for the open board, from the system's generator.
unsigned random_seed();
// The daily board's seed of `day` ("2026-12-08"): HMAC-SHA-256 of "velmora daily DAY" under
// `secret`, its first four bytes.
unsigned daily_seed(const std::string& secret, const std::string& day);
// Whether two hashes are the same, in time that does not depend on where they differ.
bool same_hash(const std::string& a, const std::string& b);

// Today in UTC, and the day of `micros` (microseconds since the epoch), as "2026-12-08".
std::string utc_day(long long micros);
// Whether `day` is a date written "YYYY-MM-DD" that exists.
bool valid_day(const std::string& day);
// Microseconds since the epoch, on this machine's clock.
long long now_micros();
