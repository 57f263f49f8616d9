#include "game/snapshot.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "math/random.h"

namespace {

constexpr uint32_t kMagic = 0x31736c76;  // "vls1"
// More points, forces or bodies than a list may hold: no game has a millionth of that.
constexpr uint32_t kMaxItems = 1 << 20;

class Writer {
  public:
    template <typename T>
    void field(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    template <typename T>
    void field(const std::vector<T>& list) {
        count(list.size());
        bytes.append(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(T));
    }
    void count(size_t n) { field(static_cast<uint32_t>(n)); }
    void flag(bool on) { field(static_cast<uint8_t>(on)); }
    // A model outline, or a mark when it is the last one's (two hundred stars share one).
    void model(const std::vector<Vector>& points) {
        const bool same =
            last != nullptr && last->size() == points.size() &&
            std::memcmp(last->data(), points.data(), points.size() * sizeof(Vector)) == 0;
        flag(same);
        if (!same) {
            field(points);
        }
        last = &points;
    }
    std::string bytes;

  private:
    const std::vector<Vector>* last = nullptr;
};

class Reader {
  public:
    explicit Reader(const std::string& from) : bytes(from) {}

    template <typename T>
    void field(T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        take(&value, sizeof value);
    }
    template <typename T>
    void field(std::vector<T>& list) {
        const size_t n = count();
        list.resize(n);
        if (n > 0) {
            take(list.data(), n * sizeof(T));
        }
    }
    // A list's length, 0 once anything is wrong.
    size_t count() {
        uint32_t n = 0;
        field(n);
        if (n > kMaxItems) {
            good = false;
        }
        return good ? n : 0;
    }
    bool flag() {
        uint8_t on = 0;
        field(on);
        return on != 0;
    }
    void model(std::vector<Vector>& points) {
        if (flag() && good) {
            points = last;
        } else {
            field(points);
        }
        last = points;
    }
    bool whole() const { return good && at == bytes.size(); }

  private:
    void take(void* to, size_t n) {
        if (!good || bytes.size() - at < n) {
            good = false;
            std::memset(to, 0, n);
            return;
        }
        std::memcpy(to, bytes.data() + at, n);
        at += n;
    }

    const std::string& bytes;
    size_t at = 0;
    bool good = true;
    std::vector<Vector> last;
};

// Reads `bytes` into `game`, and the random sequence they hold into `sequence`; false if they
// are not a whole snapshot (`game` then holds whatever was read).
bool read_into(Game& game, const std::string& bytes, GlibcRandom& sequence) {
    Reader in(bytes);
    uint32_t magic = 0;
    in.field(magic);
    in.field(sequence);
    game.restore(in);
    return magic == kMagic && in.whole();
}

}  // namespace

std::string GameSnapshot::save(const Game& game) {
    Writer out;
    out.field(kMagic);
    out.field(vmath::random_sequence());
    game.save(out);
    out.bytes.shrink_to_fit();
    return std::move(out.bytes);
}

bool GameSnapshot::restore(Game& game, const std::string& bytes) {
    // Read into this thread's scratch game first, so that bytes that are not a whole snapshot
    // leave `game` and the random sequence as they were (restoring draws from the sequence).
    const GlibcRandom before = vmath::random_sequence();
    thread_local Game scratch;
    GlibcRandom sequence;
    if (&game == &scratch || !read_into(scratch, bytes, sequence)) {
        vmath::set_random_sequence(before);
        return false;
    }
    read_into(game, bytes, sequence);
    vmath::set_random_sequence(sequence);
    return true;
}
