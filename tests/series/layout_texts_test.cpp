// Every layout text of the programs' sources, parsed by the layout engine at test time: a
// layout is otherwise parsed only when its line runs, so a typo in a rarely used one would
// surface as an error in a user's run.
//
// The sources are read as tokens (comments skipped, adjacent string literals joined). A
// layout text is found two ways: as the first argument of Layout(...), a Layout variable's
// initialiser or fmt_write(...) (a literal, each branch of a ?: choice, or a name declared
// with such a value in the same file), and as any other complete literal that begins like a
// layout ("(i4,...", "(t2,'...", "(/..."), which finds the texts handed to helpers and
// tables that make their Layout later. Layouts assembled at run time cannot be checked
// here; they are counted and named in the test's output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "series/layout.h"

namespace dendro {
namespace {

struct Token {
  enum class Kind { text, word, punct };
  Kind kind;
  std::string value;  // a text's characters with escapes decoded
  int line;
};

// A string literal's body from `at` (just past the opening quote) to its closing quote,
// escapes decoded; `at` ends past the closing quote.
std::string literal_body(const std::string& src, std::size_t& at, int& line) {
  std::string body;
  while (at < src.size() && src[at] != '"') {
    char c = src[at++];
    if (c == '\n') ++line;
    if (c == '\\' && at < src.size()) {
      const char e = src[at++];
      c = e == 'n' ? '\n' : e == 't' ? '\t' : e;
    }
    body += c;
  }
  ++at;
  return body;
}

// The tokens of a C++ source: comments and preprocessor lines left out, and adjacent
// string literals joined into one text (at the line of the first).
std::vector<Token> tokens_of(const std::string& src) {
  std::vector<Token> out;
  int line = 1;
  bool line_start = true;
  std::size_t at = 0;
  const auto skip_to_line_end = [&] {
    while (at < src.size() && src[at] != '\n') at += src[at] == '\\' ? 2 : 1;
  };
  while (at < src.size()) {
    const char c = src[at];
    if (c == '\n') {
      ++line;
      ++at;
      line_start = true;
      continue;
    }
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++at;
      continue;
    }
    if (line_start && c == '#') {
      skip_to_line_end();
      continue;
    }
    line_start = false;
    if (src.compare(at, 2, "//") == 0) {
      skip_to_line_end();
      continue;
    }
    if (src.compare(at, 2, "/*") == 0) {
      const std::size_t end = src.find("*/", at + 2);
      const std::size_t stop = end == std::string::npos ? src.size() : end + 2;
      line += static_cast<int>(std::count(src.begin() + static_cast<long>(at),
                                          src.begin() + static_cast<long>(stop), '\n'));
      at = stop;
      continue;
    }
    if (c == '"') {
      ++at;
      const int first = line;
      std::string body = literal_body(src, at, line);
      if (!out.empty() && out.back().kind == Token::Kind::text) {
        out.back().value += body;
      } else {
        out.push_back({Token::Kind::text, std::move(body), first});
      }
      continue;
    }
    if (c == '\'') {  // a character literal
      const std::size_t start = at++;
      while (at < src.size() && src[at] != '\'') at += src[at] == '\\' ? 2 : 1;
      ++at;
      out.push_back({Token::Kind::punct, src.substr(start, at - start), line});
      continue;
    }
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
      const std::size_t start = at;
      while (at < src.size() &&
             (std::isalnum(static_cast<unsigned char>(src[at])) || src[at] == '_' ||
              src[at] == '.' || (src[at] == '\'' && std::isdigit(static_cast<unsigned char>(c))))) {
        if (src[at] == '.' && !std::isdigit(static_cast<unsigned char>(c))) break;
        ++at;
      }
      out.push_back({Token::Kind::word, src.substr(start, at - start), line});
      continue;
    }
    // Two-character operators that matter below; any other character stands alone.
    for (const char* op : {"::", "+=", "->", "==", "!=", "<=", ">=", "&&", "||"}) {
      if (src.compare(at, 2, op) == 0) {
        out.push_back({Token::Kind::punct, op, line});
        at += 2;
        goto next;
      }
    }
    out.push_back({Token::Kind::punct, std::string(1, c), line});
    ++at;
  next:;
  }
  return out;
}

bool is(const Token& t, std::string_view punct) {
  return t.kind == Token::Kind::punct && t.value == punct;
}

// The index past the end of the expression that starts at `from`: the first ',', ';', or
// unmatched closing bracket outside brackets.
std::size_t expression_end(const std::vector<Token>& t, std::size_t from) {
  int depth = 0;
  for (std::size_t k = from; k < t.size(); ++k) {
    if (is(t[k], "(") || is(t[k], "{") || is(t[k], "[")) ++depth;
    if (is(t[k], ")") || is(t[k], "}") || is(t[k], "]")) {
      if (depth == 0) return k;
      --depth;
    }
    if (depth == 0 && (is(t[k], ",") || is(t[k], ";"))) return k;
  }
  return t.size();
}

// The index past the bracket that matches the one at `open`.
std::size_t after_match(const std::vector<Token>& t, std::size_t open) {
  return std::min(expression_end(t, open + 1) + 1, t.size());
}

struct Found {
  std::string text;
  int line;
};

class SourceFile {
 public:
  SourceFile(std::string name, const std::string& src) : name_(std::move(name)) {
    tokens_ = tokens_of(src);
  }

  // The layout texts that the expression [from, end) can give; false when some value of it
  // is made at run time (then `what` names the expression).
  bool texts_of(std::size_t from, std::size_t end, std::vector<Found>& out, std::string& what,
                int depth = 0) const {
    if (from >= end) return false;
    // cond ? a : b, with the choice's ':' found at the same bracket depth as its '?'.
    int level = 0;
    for (std::size_t k = from; k < end; ++k) {
      if (is(tokens_[k], "(") || is(tokens_[k], "[")) ++level;
      if (is(tokens_[k], ")") || is(tokens_[k], "]")) --level;
      if (level == 0 && is(tokens_[k], "?")) {
        int choices = 0;
        int inner = 0;
        for (std::size_t c = k + 1; c < end; ++c) {
          if (is(tokens_[c], "(") || is(tokens_[c], "[")) ++inner;
          if (is(tokens_[c], ")") || is(tokens_[c], "]")) --inner;
          if (inner != 0) continue;
          if (is(tokens_[c], "?")) ++choices;
          if (is(tokens_[c], ":") && choices-- == 0) {
            const bool a = texts_of(k + 1, c, out, what, depth);
            const bool b = texts_of(c + 1, end, out, what, depth);
            return a && b;
          }
        }
        break;
      }
    }
    const Token& first = tokens_[from];
    if (end == from + 1 && first.kind == Token::Kind::text) {
      out.push_back({first.value, first.line});
      return true;
    }
    // A name declared in this file as "name = <texts>" (a constant or a local variable).
    if (end == from + 1 && first.kind == Token::Kind::word && depth < 4) {
      for (std::size_t k = 0; k + 2 < tokens_.size(); ++k) {
        if (tokens_[k].kind == Token::Kind::word && tokens_[k].value == first.value &&
            is(tokens_[k + 1], "=")) {
          return texts_of(k + 2, expression_end(tokens_, k + 2), out, what, depth + 1);
        }
      }
    }
    what = name_ + ":" + std::to_string(first.line) + ": " + first.value + "...";
    return false;
  }

  // The texts given to Layout(...), a Layout variable's initialiser and fmt_write(...), and
  // the call sites whose layout is made at run time.
  void call_site_texts(std::vector<Found>& texts, std::vector<std::string>& built) const {
    const auto argument = [&](std::size_t open) {
      std::string what;
      std::vector<Found> found;
      if (texts_of(open + 1, expression_end(tokens_, open + 1), found, what)) {
        texts.insert(texts.end(), found.begin(), found.end());
      } else {
        built.push_back(what);
      }
    };
    const auto opens = [&](std::size_t k) {
      return k < tokens_.size() && (is(tokens_[k], "(") || is(tokens_[k], "{"));
    };
    for (std::size_t k = 0; k + 1 < tokens_.size(); ++k) {
      const Token& t = tokens_[k];
      if (t.kind != Token::Kind::word) continue;
      if (t.value == "fmt_write" && is(tokens_[k + 1], "(")) argument(k + 1);
      if (t.value != "Layout") continue;
      if (opens(k + 1)) {
        argument(k + 1);
        continue;
      }
      // Declarations: Layout a("..."), b("...");
      std::size_t at = k + 1;
      while (at + 1 < tokens_.size() && tokens_[at].kind == Token::Kind::word && opens(at + 1)) {
        argument(at + 1);
        at = after_match(tokens_, at + 1);
        if (at >= tokens_.size() || !is(tokens_[at], ",")) break;
        ++at;
      }
    }
  }

  // Complete literals (no operand of '+') that begin like a layout.
  void layout_like_texts(std::vector<Found>& texts) const {
    static const std::regex kLayoutStart(
        R"(^\((\d*\(|/|'|\d*[aA]\d*[,)/]|\d*[iIfFeE]\d+(\.\d+)?\+?[,)/]|\d+[xX][,)/]|[tT][lLrR]?\d+[,)/]))");
    for (std::size_t k = 0; k < tokens_.size(); ++k) {
      const Token& t = tokens_[k];
      if (t.kind != Token::Kind::text || !std::regex_search(t.value, kLayoutStart)) continue;
      const bool operand = (k > 0 && (is(tokens_[k - 1], "+") || is(tokens_[k - 1], "+="))) ||
                           (k + 1 < tokens_.size() && is(tokens_[k + 1], "+"));
      if (!operand) texts.push_back({t.value, t.line});
    }
  }

  const std::string& name() const { return name_; }

 private:
  std::string name_;
  std::vector<Token> tokens_;
};

// The sources of the programs: every .cpp and .h below the top folders but the tests' and
// the build trees.
std::vector<std::filesystem::path> program_sources(const std::filesystem::path& root) {
  std::vector<std::filesystem::path> files;
  for (const auto& dir : std::filesystem::directory_iterator(root)) {
    const std::string name = dir.path().filename().string();
    if (!dir.is_directory() || name == "tests" || name.starts_with("build") ||
        name.starts_with(".")) {
      continue;
    }
    for (const auto& f : std::filesystem::recursive_directory_iterator(dir.path())) {
      const std::string ext = f.path().extension().string();
      if (f.is_regular_file() && (ext == ".cpp" || ext == ".h")) files.push_back(f.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<Found> call_sites(const std::string& src) {
  std::vector<Found> texts;
  std::vector<std::string> built;
  SourceFile("s.cpp", src).call_site_texts(texts, built);
  return texts;
}

std::vector<std::string> texts_only(const std::vector<Found>& found) {
  std::vector<std::string> texts;
  for (const Found& f : found) texts.push_back(f.text);
  return texts;
}

TEST(layout_texts, scanner_finds_each_form_of_layout_argument) {
  using V = std::vector<std::string>;
  // Adjacent literals are one text, and comments hold none.
  EXPECT_EQ(texts_only(call_sites("x = Layout(\"(i4,\"  // \"(q)\"\n  \"f8.3)\").write(1);\n"
                                  "/* Layout(\"(q)\") */")),
            V{"(i4,f8.3)"});
  // Declarations, one or several, with parentheses or braces.
  EXPECT_EQ(texts_only(call_sites("const Layout a(\"(i1)\"), b{\"(i2)\"}; Layout c(\"(i3)\");")),
            (V{"(i1)", "(i2)", "(i3)"}));
  // Both branches of a choice, nested choices and escaped quotes.
  EXPECT_EQ(texts_only(call_sites("Layout(n < 9 ? \"(i1)\" : m(1) ? \"('\\\"',i2)\" : \"(i3)\");")),
            (V{"(i1)", "('\"',i2)", "(i3)"}));
  // A name declared in the file, and fmt_write's first argument only.
  EXPECT_EQ(texts_only(call_sites("constexpr std::string_view kRow = \"(a8,\" \"i4)\";\n"
                                  "s = fmt_write(kRow, \"(not a layout)\");")),
            V{"(a8,i4)"});
  // The line of a text is the line of its first literal.
  const std::vector<Found> found = call_sites("\n\nLayout(\n\"(i4,\"\n\"i5)\")");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].line, 4);
}

TEST(layout_texts, layouts_made_at_run_time_are_set_apart) {
  std::vector<Found> texts;
  std::vector<std::string> built;
  SourceFile("s.cpp",
             "Layout(\"(\" + std::to_string(n) + \"f8.2)\"); Layout(layout); Layout& r = x;")
      .call_site_texts(texts, built);
  EXPECT_TRUE(texts.empty());
  EXPECT_EQ(built.size(), 2u);
  // Pieces of a layout joined with '+' are no layout of their own; a whole one is.
  SourceFile("s.cpp",
             "f(\"(1x,i6,\" + w + \"(a,f8.3))\"); g(\"(t2,'x',i3)\"); h(\"(y/n)\"); "
             "k(\"(2f8.3+,i4)\");")
      .layout_like_texts(texts);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text, "(t2,'x',i3)");
  EXPECT_EQ(texts[1].text, "(2f8.3+,i4)");  // a spaced field
}

TEST(layout_texts, every_layout_in_the_sources_parses) {
  const std::filesystem::path root = SOURCE_ROOT_DIR;
  std::map<std::pair<std::string, int>, std::set<std::string>> texts;  // by file and line
  std::vector<std::string> built;
  int call_site_count = 0;
  for (const std::filesystem::path& path : program_sources(root)) {
    // The engine's own sources hold the layout parameter, not layouts.
    if (path.filename().string().starts_with("layout.")) continue;
    const SourceFile file(std::filesystem::relative(path, root).string(), read_file(path));
    std::vector<Found> found;
    file.call_site_texts(found, built);
    call_site_count += static_cast<int>(found.size());
    file.layout_like_texts(found);
    for (const Found& f : found) texts[{file.name(), f.line}].insert(f.text);
  }
  int parsed = 0;
  for (const auto& [where, at_line] : texts) {
    for (const std::string& text : at_line) {
      ++parsed;
      try {
        Layout layout(text);
      } catch (const FormatError& e) {
        ADD_FAILURE() << where.first << ":" << where.second << ": " << e.what();
      }
    }
  }
  std::cout << parsed << " layout texts parsed (" << call_site_count
            << " at Layout and fmt_write calls); " << built.size()
            << " layouts made at run time:\n";
  for (const std::string& b : built) std::cout << "  " << b << "\n";
  // The programs hold several hundred layouts: far fewer means the scan went wrong.
  EXPECT_GT(parsed, 400);
  EXPECT_GT(call_site_count, 300);
}

}  // namespace
}  // namespace dendro
