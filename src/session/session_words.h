#pragma once
#include <string>
#include <string_view>

namespace kv7::script {

// How a line of a session script falls into words: blanks and tabs between them, '#' after a
// blank (or at the start) begins a comment, and "double quotes" keep a text's blanks, with \"
// and \\ for a quote and a backslash inside.

bool isBlank(char c);
std::string lower(std::string_view s);
std::string_view trim(std::string_view s);
// Blanks inside a name count as one and the letter case does not count: "Disp  Para" is
// "disp para".
std::string normalizedName(std::string_view s);
// The line without its comment; a '#' inside quotes is no comment.
std::string_view withoutComment(std::string_view line);

// The words of one action, read one by one; the last argument may be a text with blanks.
class Args {
  public:
    explicit Args(std::string_view rest) : rest_(trim(rest)) {}

    bool empty() const { return rest_.empty(); }
    std::string_view rest() const { return rest_; }

    // The next word as written (quotes and all).
    std::string_view word();
    // The next word, or a quoted text without its quotes; what follows stays for the next
    // read. False, with `error` saying why, for a quote that is not closed.
    bool token(std::string& out, bool& quoted, std::string& error);
    // The rest as one text: a quoted text exactly as written between its quotes, otherwise the
    // rest without its outer blanks. Nothing may follow a closing quote.
    bool text(std::string& out, bool& quoted, std::string& error);

  private:
    std::string_view rest_;
};

}  // namespace kv7::script
