// TeX mode: the reader that turns the codes of a string into the box tree, with the nesting
// limits and the syntax messages.
#include <cmath>

#include "text/codepages.h"
#include "text/tex.h"

namespace tavero::tex {

const char* error_text(int code) {
  switch (code) {
    case kUnknownCommand: return "Unknown TeX command";
    case kNestedGroups: return "Too many nested parenthesis";
    case kUnbalanced: return "Unbalanced parenthesis";
    case kNestedScripts: return "Too many nested exponents/indices";
    case kScriptSyntax: return "Syntax error for Indices/Exponents";
    case kTooManyFractions: return "Too many fractions";
    case kFractionSyntax: return "Syntax error for fractions";
    case kMissingDenominator: return "Missing denominator for fractions";
    case kNestedRoots: return "Too many nested roots";
    case kMissingRoot: return "Syntax error - missing root";
    case kOverlineSyntax: return "Syntax error for overstrike";
    case kUnderlineSyntax: return "Syntax error for understrike";
    case kHatSyntax: return "Syntax error for hat";
    case kTildeSyntax: return "Syntax error for tilde";
    case kDotSyntax: return "Syntax error for dot";
    case kVecSyntax: return "Syntax error for vec";
    case kTooManyBrackets: return "Too many brackets";
    case kBadBracket: return "Not allowed bracket symbol";
    case kMissingLeft: return "Missing left bracket symbol";
    default: return " ";
  }
}

namespace {

constexpr int kMaxGroups = 8;
constexpr int kMaxScripts = 8;
constexpr int kMaxFractions = 20;
constexpr int kMaxNestedFractions = 8;
constexpr int kMaxRoots = 8;
constexpr int kMaxBrackets = 20;
constexpr int kMaxArguments = 32;   // accents on accents: the reader's own bound
constexpr int kMaxMixLevels = 16;   // setmix raising beyond it leaves the height at 1 anyway

// What ends a list.
enum class Stop { kEnd, kBrace, kRight, kIndex, kMix };

// Group-local settings: size, alphabet and colour switches end with their group.
struct State {
  int h = 36;
  int alph = 1;
  bool italic = false;
  int colour = -1;
  int style = 1;            // 0 display, 1 text, 2 script, 3 scriptscript
};

inline bool is_letter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

class Parser {
 public:
  Parser(const Setup& s, const std::vector<int>& c, Tree& t) : set_(s), codes_(c), tree_(t) {}

  int run() {
    State st;
    st.h = set_.height;
    st.alph = set_.alphabet;
    st.italic = set_.italic;
    int right = 0;
    tree_.root = list(st, Stop::kEnd, &right);
    return err_;
  }

 private:
  int peek(size_t k = 0) const { return pos_ + k < codes_.size() ? codes_[pos_ + k] : -1; }
  bool at_end() const { return pos_ >= codes_.size(); }
  void skip_blanks() {
    while (peek() == ' ') ++pos_;
  }
  void fail(int code) {
    if (!err_) err_ = code;
  }
  int scaled(int h, double f) const {
    const double v = std::round(h * f);
    return v < 1 ? 1 : v > 100000 ? 100000 : static_cast<int>(v);
  }
  int add(Node n, const State& st) {
    n.colour = st.colour;
    if (n.h <= 0) n.h = st.h;
    return tree_.add(n);
  }

  int glyph(const State& st, int alph, int code, bool italic = false) {
    Node n;
    n.kind = Kind::kGlyph;
    n.h = st.h;
    n.alph = alph;
    n.code = code;
    n.italic = italic;
    return add(n, st);
  }

  // An ordinary character through the code table.
  int character(const State& st, int c) {
    MappedCode m = map_code(set_.code_table, c);
    int a = st.alph;
    if (m.alphabet) a = (m.alphabet == 1 && (a == 4 || a == 5)) ? a : m.alphabet;
    return glyph(st, a, m.code, st.italic && a == 1 && is_letter(c));
  }

  int wrap(Kind k, int child, const State& st) {
    Node n;
    n.kind = k;
    n.h = st.h;
    n.a = child;
    return add(n, st);
  }

  // --- lists

  int list(State st, Stop stop, int* right) {
    std::vector<int> kids;
    const bool op = after_op_, neg = negate_;   // pending for the list itself, not its inside
    after_op_ = negate_ = false;
    while (!err_) {
      if (at_end()) {
        if (stop == Stop::kBrace) fail(kUnbalanced);
        if (stop == Stop::kIndex) fail(kMissingRoot);
        break;
      }
      const int c = peek();
      if (shift_char(st, c)) continue;
      if (set_.mix && (c == set_.exp_char || c == set_.ind_char || c == set_.res_char)) {
        ++pos_;
        if (c == set_.res_char) {   // back to the base line: every raised level ends
          if (stop == Stop::kMix) {
            reset_ = true;
            break;
          }
          continue;
        }
        mixed(st, kids, c == set_.exp_char);
        if (reset_) {
          if (stop == Stop::kMix) break;
          reset_ = false;
        }
        continue;
      }
      if (c == '}') {
        if (stop == Stop::kBrace) {
          ++pos_;
          break;
        }
        if (stop == Stop::kRight || stop == Stop::kMix) break;   // the group ends them
        fail(stop == Stop::kIndex ? kMissingRoot : kUnbalanced);
        break;
      }
      if (stop == Stop::kIndex && c == ']') {
        ++pos_;
        break;
      }
      if (c == '^' || c == '_') {
        scripts(st, kids);
        continue;
      }
      if (atom(st, kids, stop, right)) break;
    }
    after_op_ = op;
    negate_ = neg;
    Node n;
    n.kind = Kind::kList;
    n.h = st.h;
    n.kids = std::move(kids);
    return add(n, st);
  }

  // Shift alphabets of smxalf: their characters come before the meaning they have in TeX.
  bool shift_char(State& st, int c) {
    for (int k = 0; k < set_.shifts; ++k) {
      const int* sh = set_.shift[k];
      if (c == sh[2] && shifted_ == k) {
        st.alph = set_.alphabet;
        shifted_ = -1;
        ++pos_;
        return true;
      }
      if (c == sh[1]) {
        st.alph = sh[0];
        shifted_ = k;
        ++pos_;
        return true;
      }
    }
    return false;
  }

  // Text after an exponent or index character of setmix, up to the reset character.
  void mixed(const State& st, std::vector<int>& kids, bool up) {
    if (mix_depth_ >= kMaxMixLevels) return;
    State s = st;
    s.h = scaled(st.h, set_.mix_exp);
    int r = 0;
    ++mix_depth_;
    int body = list(s, Stop::kMix, &r);
    --mix_depth_;
    Node n;
    n.kind = Kind::kShifted;
    n.h = st.h;
    n.a = body;
    n.accent = up ? 1 : -1;
    append(kids, add(n, st), st, false, 0);
  }

  // Appends a node: a pending \not strikes it through, a thin space follows operators.
  void append(std::vector<int>& kids, int node, const State& st, bool op, int first_char) {
    if (after_op_ && first_char != '(' && first_char != '[' && first_char != ',' &&
        first_char != '.' && first_char != ')' && first_char != ' ') {
      Node sp;
      sp.kind = Kind::kSpace;
      sp.space = 3.0 / 18.0 * st.h;
      kids.push_back(add(sp, st));
    }
    if (negate_) {
      node = wrap(Kind::kNegated, node, st);
      negate_ = false;
    }
    kids.push_back(node);
    after_op_ = op;
  }

  // One token; true when the list ends here (a \right).
  bool atom(State& st, std::vector<int>& kids, Stop stop, int* right) {
    const int c = peek();
    if (c == '{') {
      int g = group(st);
      if (g >= 0) append(kids, g, st, false, 0);
      return false;
    }
    ++pos_;
    if (c == set_.tex_char) return false;
    if (c == '~') {
      append(kids, glyph(st, st.alph, ' '), st, false, ' ');
      return false;
    }
    if (c != '\\') {
      append(kids, character(st, c), st, false, c);
      return false;
    }
    return command(st, kids, stop, right);
  }

  int group(const State& st) {
    if (depth_ >= kMaxGroups) {
      fail(kNestedGroups);
      return -1;
    }
    ++pos_;
    ++depth_;
    int r = 0;
    int g = list(st, Stop::kBrace, &r);
    --depth_;
    return g;
  }

  // An argument: a group, one command or one character.
  int argument(const State& st, int error) {
    skip_blanks();
    const int c = peek();
    if (c < 0 || c == '}' || c == '^' || c == '_' || arguments_ >= kMaxArguments) {
      fail(error);
      return -1;
    }
    if (c == '{') return group(st);
    struct Depth {
      int& d;
      explicit Depth(int& v) : d(++v) {}
      ~Depth() { --d; }
    } depth(arguments_);
    std::vector<int> kids;
    State inner = st;
    const bool op = after_op_, neg = negate_;
    after_op_ = negate_ = false;
    int r = 0;
    atom(inner, kids, Stop::kEnd, &r);
    after_op_ = op;
    negate_ = neg;
    if (err_) return -1;
    if (kids.empty()) {
      fail(error);
      return -1;
    }
    if (kids.size() == 1) return kids[0];
    Node n;
    n.kind = Kind::kList;
    n.h = st.h;
    n.kids = std::move(kids);
    return add(n, st);
  }

  void scripts(const State& st, std::vector<int>& kids) {
    const bool sup = peek() == '^';
    ++pos_;
    if (scripts_ >= kMaxScripts) {
      fail(kNestedScripts);
      return;
    }
    ++scripts_;
    State s = st;
    s.h = scaled(st.h, set_.exp_factor);
    s.style = st.style < 3 ? st.style + 1 : 3;
    const bool op = after_op_;
    int arg = argument(s, kScriptSyntax);
    after_op_ = op;
    --scripts_;
    if (arg < 0) return;
    int host = -1;
    if (!kids.empty()) {
      Node& last = tree_.nodes[kids.back()];
      if (last.kind == Kind::kScripts) {
        if ((sup ? last.b : last.c) >= 0) {  // a second exponent (index) of one base
          fail(kScriptSyntax);
          return;
        }
        host = kids.back();
      }
    }
    if (host < 0) {
      Node n;
      n.kind = Kind::kScripts;
      n.h = st.h;
      if (!kids.empty()) {
        n.a = kids.back();
        kids.pop_back();
      }
      host = add(n, st);
      kids.push_back(host);
    }
    (sup ? tree_.nodes[host].b : tree_.nodes[host].c) = arg;
  }

  // --- commands

  std::string command_name() {
    std::string name;
    if (is_letter(peek())) {
      while (is_letter(peek())) name.push_back(static_cast<char>(codes_[pos_++]));
      if (name == "not" && peek() == '=') name.push_back(static_cast<char>(codes_[pos_++]));
    } else if (peek() == ',' || peek() == ':' || peek() == ';' || peek() == '!') {
      name.push_back(static_cast<char>(codes_[pos_++]));
    }
    return name;
  }

  bool command(State& st, std::vector<int>& kids, Stop stop, int* right) {
    if (at_end()) {
      fail(kUnknownCommand);
      return true;
    }
    std::string name = command_name();
    if (name.empty()) {  // \{ \} \$ \\ ...: the character itself
      int c = codes_[pos_++];
      append(kids, character(st, c), st, false, c);
      return false;
    }
    CmdInfo cmd = lookup(name);
    // a blank after a switch that draws nothing only ends its name; after a drawing command
    // it is a blank of the text
    const bool sw = cmd.kind == Cmd::kAlphabet || cmd.kind == Cmd::kSize ||
                    cmd.kind == Cmd::kStyle || cmd.kind == Cmd::kColour ||
                    (cmd.kind == Cmd::kStructure && (cmd.index == kLimits || cmd.index == kNolimits));
    if (sw && peek() == ' ') ++pos_;
    switch (cmd.kind) {
      case Cmd::kNone:
        fail(kUnknownCommand);
        return true;
      case Cmd::kGreek:
        append(kids, glyph(st, 2, greek_code(*set_.ctx, cmd.index), st.italic && cmd.index < 23), st, false, 0);
        return false;
      case Cmd::kSpace: {
        Node n;
        n.kind = Kind::kSpace;
        n.space = kSpaceEighteenths[cmd.index] / 18.0 * st.h;
        after_op_ = false;
        kids.push_back(add(n, st));
        return false;
      }
      case Cmd::kSymbol:
        symbol(st, kids, cmd.index);
        return false;
      case Cmd::kAlphabet: {
        static const int kAlph[5] = {1, 2, 4, 5, 6};
        st.alph = kAlph[cmd.index];
        st.italic = false;
        return false;
      }
      case Cmd::kSize:
        st.h = scaled(set_.height, kSizeFactors[cmd.index]);
        return false;
      case Cmd::kStyle: {
        const double f[4] = {1.0, 1.0, set_.exp_factor, set_.exp_factor * set_.exp_factor};
        st.style = cmd.index;
        st.h = scaled(set_.height, f[cmd.index]);
        return false;
      }
      case Cmd::kColour:
        st.colour = set_.colours[cmd.index];
        return false;
      case Cmd::kFunction:
        append(kids, word(st, kFunctionNames[cmd.index], false), st, true, 'a');
        return false;
      case Cmd::kSpecial:
        if (cmd.index == 0) {
          Node n;
          n.kind = Kind::kCircled;
          n.h = st.h;
          n.alph = 1;
          n.code = 'c';
          append(kids, add(n, st), st, false, 0);
        } else {
          append(kids, glyph(st, 3, math_code(U'∅')), st, false, 0);
        }
        return false;
      case Cmd::kStructure:
        structure(st, kids, cmd.index);
        return false;
      case Cmd::kBracket:
        return bracket(st, kids, cmd.index, stop, right);
    }
    return false;
  }

  // Letters drawn upright in STAN (function names, lim).
  int word(const State& st, const char* s, bool op) {
    Node n;
    n.kind = Kind::kList;
    n.h = st.h;
    n.op = op;
    for (const char* p = s; *p; ++p) n.kids.push_back(glyph(st, 1, *p));
    return add(n, st);
  }

  void symbol(const State& st, std::vector<int>& kids, int index) {
    const Symbol& sym = kSymbols[index];
    int code = math_code(sym.ch);
    if (!code) code = '?';
    if (std::string(sym.name) == "not") {  // strikes through what follows
      negate_ = true;
      skip_blanks();
      return;
    }
    int g = glyph(st, 3, code);
    switch (sym.form) {
      case kStruck:
        g = wrap(Kind::kNegated, g, st);
        break;
      case kMirror:
        tree_.nodes[g].kind = Kind::kMirrored;
        break;
      case kDotted: {
        Node n;
        n.kind = Kind::kAccent;
        n.h = st.h;
        n.accent = kDot;
        n.a = g;
        g = add(n, st);
        break;
      }
      case kTriple: {
        Node n;
        n.kind = Kind::kList;
        n.h = st.h;
        n.kids = {g, glyph(st, 3, code), glyph(st, 3, code)};
        g = add(n, st);
        break;
      }
      default:
        break;
    }
    append(kids, g, st, false, 0);
  }

  void structure(const State& st, std::vector<int>& kids, int index) {
    switch (index) {
      case kInt:
      case kOint:
      case kProd: {
        const char32_t ch = index == kInt ? U'∫' : index == kOint ? U'∮' : U'∏';
        Node n;
        n.kind = Kind::kGlyph;
        n.h = scaled(st.h, set_.oper);
        n.alph = 3;
        n.code = math_code(ch);
        n.op = true;
        n.hc = st.h;
        n.limits = set_.limits || (index == kProd && st.style == 0) ? 1 : 0;
        append(kids, add(n, st), st, true, 0);
        return;
      }
      case kLim: {
        int w = word(st, "lim", true);
        tree_.nodes[w].limits = set_.limits || st.style == 0 ? 1 : 0;
        append(kids, w, st, true, 'a');
        return;
      }
      case kLimits:
      case kNolimits:
        if (!kids.empty() && tree_.nodes[kids.back()].op)
          tree_.nodes[kids.back()].limits = index == kLimits ? 1 : 0;
        return;
      case kFrac:
        fraction(st, kids);
        return;
      case kSqrt:
        root(st, kids);
        return;
      default:
        break;
    }
    // accents
    static const int kAccentOf[] = {0, 0, 0, 0, 0, 0, kOverline, kUnderline, kVec, kHat, kTilde, kDot};
    static const int kErrorOf[] = {0, 0, 0, 0, 0, 0, kOverlineSyntax, kUnderlineSyntax, kVecSyntax,
                                   kHatSyntax, kTildeSyntax, kDotSyntax};
    int body = argument(st, kErrorOf[index]);
    if (body < 0) return;
    Node n;
    n.kind = Kind::kAccent;
    n.h = st.h;
    n.accent = kAccentOf[index];
    n.a = body;
    append(kids, add(n, st), st, false, 0);
  }

  void fraction(const State& st, std::vector<int>& kids) {
    if (fractions_ >= kMaxFractions || nested_fractions_ >= kMaxNestedFractions) {
      fail(kTooManyFractions);
      return;
    }
    ++fractions_;
    skip_blanks();
    if (peek() != '{') {
      fail(kFractionSyntax);
      return;
    }
    ++nested_fractions_;
    State s = st;
    if (st.style != 0) s.h = scaled(st.h, set_.exp_factor);
    s.style = st.style < 3 ? st.style + 1 : 3;
    const bool op = after_op_;
    int num = group(s);
    int den = -1;
    if (!err_) {
      skip_blanks();
      if (peek() != '{')
        fail(kMissingDenominator);
      else
        den = group(s);
    }
    after_op_ = op;
    --nested_fractions_;
    if (err_) return;
    Node n;
    n.kind = Kind::kFrac;
    n.h = st.h;
    n.a = num;
    n.b = den;
    append(kids, add(n, st), st, false, 0);
  }

  void root(const State& st, std::vector<int>& kids) {
    if (roots_ >= kMaxRoots) {
      fail(kNestedRoots);
      return;
    }
    ++roots_;
    const bool op = after_op_;
    int index = -1;
    skip_blanks();
    if (peek() == '[') {
      ++pos_;
      State s = st;
      s.h = scaled(st.h, set_.exp_factor * set_.exp_factor);
      int r = 0;
      index = list(s, Stop::kIndex, &r);
    }
    int body = err_ ? -1 : argument(st, kMissingRoot);
    after_op_ = op;
    --roots_;
    if (body < 0) return;
    Node n;
    n.kind = Kind::kRoot;
    n.h = st.h;
    n.a = body;
    n.b = index;
    append(kids, add(n, st), st, false, 0);
  }

  // A bracket character after \left, \right or \bigg: 0 when it is none.
  int bracket_char() {
    skip_blanks();
    int c = peek();
    if (c == '\\') {
      int d = peek(1);
      if (d == '{' || d == '}' || d == '|') {
        pos_ += 2;
        return d == '|' ? 'd' : d;  // 'd': the double bar
      }
      return 0;
    }
    static const char kAllowed[] = "()[]{}|<>/.";
    for (const char* p = kAllowed; *p; ++p)
      if (c == *p) {
        ++pos_;
        return c;
      }
    return 0;
  }

  bool bracket(const State& st, std::vector<int>& kids, int index, Stop stop, int* right) {
    if (index == 1) {  // \right
      if (stop != Stop::kRight) {
        fail(kMissingLeft);
        return true;
      }
      int c = bracket_char();
      if (!c) fail(kBadBracket);
      *right = c;
      return true;
    }
    int c = bracket_char();
    if (!c) {
      fail(kBadBracket);
      return true;
    }
    if (brackets_ >= kMaxBrackets) {
      fail(kTooManyBrackets);
      return true;
    }
    ++brackets_;
    Node n;
    n.kind = Kind::kDelim;
    n.h = st.h;
    if (index == 0) {  // \left ... \right
      int r = 0;
      int body = list(st, Stop::kRight, &r);
      n.a = body;
      n.left = c;
      n.right = r;
    } else {
      // big Big bigg Bigg and their l/r forms
      static const double kBig[4] = {1.2, 1.8, 2.4, 3.0};
      const int base = index < 6 ? index - 2 : (index - 6) / 2;
      n.big = kBig[base];
      n.left = c;
    }
    append(kids, add(n, st), st, false, n.left);
    return false;
  }

  const Setup& set_;
  const std::vector<int>& codes_;
  Tree& tree_;
  size_t pos_ = 0;
  int err_ = 0;
  int depth_ = 0, scripts_ = 0, fractions_ = 0, nested_fractions_ = 0, roots_ = 0, brackets_ = 0;
  bool after_op_ = false, negate_ = false, reset_ = false;
  int shifted_ = -1, mix_depth_ = 0, arguments_ = 0;
};

}  // namespace

int parse(const Setup& setup, const std::vector<int>& codes, Tree& tree) {
  tree.nodes.clear();
  tree.nodes.reserve(codes.size() * 2 + 8);
  Parser p(setup, codes, tree);
  return p.run();
}

}  // namespace tavero::tex
