// A program's command line as a table: each option declared once, as a row (its name, its
// argument, its bounds, the field it sets, its help), and the reading, the checks and the usage
// text all made from the rows. Read the GNU way: --name VALUE or --name=VALUE, unambiguous
// abbreviations, "--" ends the options; a row that names a problem stops the reading there.
// Both programs use it (app/options.h, server/options.h).
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// `text` as a whole number from `min` to `max`: decimal digits only, no sign, no spaces, no
// other base, and no more digits than `max` has (nothing padded); or nothing.
std::optional<long long> whole_number(const std::string& text, long long min, long long max);

template <typename T>
void set_number(T& field, long long n) {
    field = static_cast<T>(n);
}
template <typename T>
void set_number(std::optional<T>& field, long long n) {
    field = static_cast<T>(n);
}

// What every table shares, whatever it fills: the rows' names, the reading and the usage text.
class OptionRows {
  public:
    struct Row {
        std::string name;      // without the dashes
        std::string argument;  // "N", "FILE", "smooth|designed"; "" for a flag
        bool attached;         // shown as --name=ARGUMENT (a choice of words)
        std::string help;      // its lines in the usage text, '\n' between them
    };
    // A single-dash option that is another's (GLUT's -display ...): let through, with its value.
    struct Foreign {
        std::string name;
        bool takes_value;
    };

    // The usage text's options, each row's help starting at `column`.
    std::string usage(size_t column) const;

  protected:
    // Reads the command line: `apply(row, value)` for each option, returning "" or the problem;
    // each word that is no option to `word` when given (else it is a problem).
    std::string read(int argc, const char* const* argv, const std::vector<Foreign>& foreign,
                     const std::function<std::string(size_t, const std::string&)>& apply,
                     const std::function<void(const std::string&)>& word) const;
    std::vector<Row> rows;
};

template <typename Target>
class OptionTable : public OptionRows {
  public:
    // A problem in words ("invalid seed 'x': ..."), or "".
    using Apply = std::function<std::string(Target&, const std::string&)>;

    OptionTable& flag(const std::string& name, bool Target::*field, const std::string& help) {
        return add({name, "", false, help}, [field](Target& t, const std::string&) {
            t.*field = true;
            return std::string();
        });
    }
    OptionTable& text(const std::string& name, const std::string& argument,
                      std::string Target::*field, const std::string& help) {
        return add({name, argument, false, help}, [field](Target& t, const std::string& value) {
            t.*field = value;
            return std::string();
        });
    }
    // A whole number from min to max (whole_number), into a number or an optional one; `what`
    // names it in the problem.
    template <typename Field>
    OptionTable& number(const std::string& name, const std::string& argument, Field Target::*field,
                        long long min, long long max, const std::string& what,
                        const std::string& help) {
        return add({name, argument, false, help},
                   [=](Target& t, const std::string& value) -> std::string {
                       const std::optional<long long> n = whole_number(value, min, max);
                       if (!n) {
                           return "invalid " + what + " '" + value +
                                  "': expected a whole number "
                                  "from " +
                                  std::to_string(min) + " to " + std::to_string(max);
                       }
                       set_number(t.*field, *n);
                       return std::string();
                   });
    }
    // One of a few words, each standing for a value of the field.
    template <typename Field>
    OptionTable& choice(const std::string& name, Field Target::*field,
                        std::initializer_list<std::pair<const char*, Field>> words,
                        const std::string& what, const std::string& help) {
        std::vector<std::pair<std::string, Field>> known(words.begin(), words.end());
        std::string listed;
        for (size_t i = 0; i < known.size(); ++i) {
            listed += (i == 0 ? "" : i + 1 == known.size() ? " or " : ", ") + known[i].first;
        }
        std::string argument;
        for (const auto& [word, value] : known) {
            argument += (argument.empty() ? "" : "|") + word;
        }
        return add({name, argument, true, help},
                   [=](Target& t, const std::string& value) -> std::string {
                       for (const auto& [word, meaning] : known) {
                           if (value == word) {
                               t.*field = meaning;
                               return std::string();
                           }
                       }
                       return "invalid " + what + " '" + value + "': expected " + listed;
                   });
    }
    // Anything else: `apply` reads the value itself.
    OptionTable& custom(const std::string& name, const std::string& argument, Apply apply,
                        const std::string& help) {
        return add({name, argument, false, help}, std::move(apply));
    }
    // Lets GLUT's own X options (or any other program's) through.
    OptionTable& foreign(const std::string& name, bool takes_value) {
        others.push_back({name, takes_value});
        return *this;
    }
    // The words that are no options (a command and what it acts on), in order.
    OptionTable& words(std::vector<std::string> Target::*field) {
        rest = field;
        return *this;
    }

    // Reads the command line into `target`; "" or the problem.
    std::string parse(int argc, const char* const* argv, Target& target) const {
        std::function<void(const std::string&)> word;
        if (rest != nullptr) {
            word = [this, &target](const std::string& w) { (target.*rest).push_back(w); };
        }
        return read(
            argc, argv, others,
            [this, &target](size_t row, const std::string& value) {
                return appliers[row](target, value);
            },
            word);
    }

  private:
    OptionTable& add(Row row, Apply apply) {
        rows.push_back(std::move(row));
        appliers.push_back(std::move(apply));
        return *this;
    }

    std::vector<Apply> appliers;  // one a row
    std::vector<Foreign> others;
    std::vector<std::string> Target::*rest = nullptr;
};
