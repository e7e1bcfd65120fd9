#include "harness/basic.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kvt {

struct Basic::Node {
  enum Kind { Number, Variable, Index, Negate, Binary, Assign, Command, Dim, For, Do, If, Sync } kind;
  std::string name;  // a variable, array, keyword or word; the operator of a Binary
  Value number{};
  std::vector<std::unique_ptr<Node>> kids, body, otherwise;  // operands or arguments; blocks
};

namespace {

using Node = Basic::Node;
using Nodes = std::vector<std::unique_ptr<Node>>;

struct Token {
  enum Kind { Word, Number, Symbol, End } kind;  // End: the end of a line
  std::string text;
};

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<Token> tokens_of(const std::string& code) {
  std::vector<Token> out;
  std::istringstream lines(code);
  for (std::string line; std::getline(lines, line);) {
    for (std::size_t i = 0; i < line.size();) {
      const char c = line[i];
      if (c == '`') break;  // a comment to the end of the line
      if (std::isspace(static_cast<unsigned char>(c))) {
        ++i;
      } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
        std::size_t j = i;
        while (j < line.size() && (std::isalnum(static_cast<unsigned char>(line[j])) || line[j] == '_')) ++j;
        if (j < line.size() && line[j] == '#') ++j;
        out.push_back({Token::Word, line.substr(i, j - i)});
        i = j;
      } else if (std::isdigit(static_cast<unsigned char>(c)) || (c == '.' && i + 1 < line.size() && std::isdigit(line[i + 1]))) {
        std::size_t j = i;
        while (j < line.size() && (std::isdigit(static_cast<unsigned char>(line[j])) || line[j] == '.')) ++j;
        out.push_back({Token::Number, line.substr(i, j - i)});
        i = j;
      } else {
        const std::string two = line.substr(i, 2);
        const bool pair = two == "<=" || two == ">=" || two == "<>";
        if (!pair && std::string("()+-*/=<>,:").find(c) == std::string::npos) {
          throw std::runtime_error("the runner cannot read '" + std::string(1, c) + "' in: " + line);
        }
        out.push_back({Token::Symbol, pair ? two : std::string(1, c)});
        i += pair ? 2 : 1;
      }
    }
    out.push_back({Token::End, ""});
  }
  return out;
}

class Parser {
 public:
  explicit Parser(std::vector<Token> t) : t_(std::move(t)) {}

  Nodes block(std::initializer_list<const char*> until) {
    Nodes out;
    for (;;) {
      while (at_symbol(":") || at(Token::End)) ++i_;
      if (i_ >= t_.size()) {
        if (until.size()) throw std::runtime_error("the program ends inside a block");
        return out;
      }
      for (const char* u : until) {
        if (at_word(u)) return out;
      }
      out.push_back(statement());
    }
  }

 private:
  bool at(Token::Kind k) const { return i_ < t_.size() && t_[i_].kind == k; }
  bool at_symbol(const char* s) const { return at(Token::Symbol) && t_[i_].text == s; }
  bool at_word(const char* w) const { return at(Token::Word) && lower(t_[i_].text) == w; }
  bool statement_ends() const { return i_ >= t_.size() || at(Token::End) || at_symbol(":"); }
  void expect_symbol(const char* s) {
    if (!at_symbol(s)) throw std::runtime_error(std::string("expected '") + s + "'" + position());
    ++i_;
  }
  void expect_word(const char* w) {
    if (!at_word(w)) throw std::runtime_error(std::string("expected '") + w + "'" + position());
    ++i_;
  }
  std::string position() const { return i_ < t_.size() ? " near '" + t_[i_].text + "'" : " at the end"; }
  std::string name() {
    if (!at(Token::Word)) throw std::runtime_error("expected a name" + position());
    return t_[i_++].text;
  }
  static std::unique_ptr<Node> make(Node::Kind k, std::string name = "") {
    auto n = std::make_unique<Node>();
    n->kind = k, n->name = std::move(name);
    return n;
  }

  std::unique_ptr<Node> statement() {
    if (at_word("dim")) {
      ++i_;
      auto n = make(Node::Dim, name());
      expect_symbol("(");
      n->kids.push_back(expression());
      expect_symbol(")");
      return n;
    }
    if (at_word("for")) {
      ++i_;
      auto n = make(Node::For, name());
      expect_symbol("=");
      n->kids.push_back(expression());
      expect_word("to");
      n->kids.push_back(expression());
      n->body = block({"next"});
      expect_word("next");
      if (at(Token::Word)) ++i_;
      return n;
    }
    if (at_word("do")) {
      ++i_;
      auto n = make(Node::Do);
      n->body = block({"loop"});
      expect_word("loop");
      return n;
    }
    if (at_word("if")) {
      ++i_;
      auto n = make(Node::If);
      n->kids.push_back(expression());
      if (at_word("then")) {  // the rest of the line
        ++i_;
        while (!at(Token::End)) {
          if (at_symbol(":")) ++i_; else n->body.push_back(statement());
        }
        return n;
      }
      n->body = block({"else", "endif"});
      if (at_word("else")) ++i_, n->otherwise = block({"endif"});
      expect_word("endif");
      return n;
    }
    if (at_word("sync")) return ++i_, make(Node::Sync);
    const std::size_t start = i_;
    const std::string word = name();
    if (at_symbol("=")) {  // a variable
      ++i_;
      auto n = make(Node::Assign);
      n->kids.push_back(make(Node::Variable, word));
      n->kids.push_back(expression());
      return n;
    }
    if (at_symbol("(")) {  // an array element assigned, or a command whose first argument is in brackets
      auto target = make(Node::Index, word);
      ++i_;
      target->kids = arguments(")");
      if (at_symbol("=")) {
        ++i_;
        auto n = make(Node::Assign);
        n->kids.push_back(std::move(target));
        n->kids.push_back(expression());
        return n;
      }
      i_ = start + 1;
    }
    auto n = make(Node::Command, word);
    while (!statement_ends()) {
      n->kids.push_back(expression());
      if (!statement_ends()) expect_symbol(",");
    }
    return n;
  }

  Nodes arguments(const char* close) {
    Nodes args;
    while (!at_symbol(close)) {
      args.push_back(expression());
      if (!at_symbol(close)) expect_symbol(",");
    }
    ++i_;
    return args;
  }

  // or < and < comparisons < + − < × ÷ mod < unary − < a number, name or bracket
  std::unique_ptr<Node> expression(int level = 0) {
    static const std::vector<std::vector<std::string>> ops = {{"or"}, {"and"}, {"=", "<>", "<", ">", "<=", ">="}, {"+", "-"},
                                                              {"*", "/", "mod"}};
    if (level == 5) return unary();
    auto left = expression(level + 1);
    for (;;) {
      std::string op;
      for (const std::string& o : ops[level]) {
        if ((at(Token::Symbol) && t_[i_].text == o) || (at(Token::Word) && lower(t_[i_].text) == o)) op = o;
      }
      if (op.empty()) return left;
      ++i_;
      auto n = make(Node::Binary, op);
      n->kids.push_back(std::move(left));
      n->kids.push_back(expression(level + 1));
      left = std::move(n);
    }
  }

  std::unique_ptr<Node> unary() {
    if (at_symbol("-")) {
      ++i_;
      auto n = make(Node::Negate);
      n->kids.push_back(unary());
      return n;
    }
    if (at_symbol("(")) {
      ++i_;
      auto n = expression();
      expect_symbol(")");
      return n;
    }
    if (at(Token::Number)) {
      const std::string text = t_[i_++].text;
      auto n = make(Node::Number);
      const bool real = text.find('.') != std::string::npos;
      n->number = {real, real ? std::stof(text) : 0.0f, real ? 0 : std::stoi(text)};
      return n;
    }
    const std::string word = name();
    if (!at_symbol("(")) return make(Node::Variable, word);
    ++i_;
    auto n = make(Node::Index, word);
    n->kids = arguments(")");
    return n;
  }

  std::vector<Token> t_;
  std::size_t i_ = 0;
};

struct Stop {};  // the last frame has ended

bool is_float_name(const std::string& name) { return !name.empty() && name.back() == '#'; }

}  // namespace

Basic::Basic(const Plugin& plugin) : plugin_(plugin) {}
Basic::~Basic() = default;

void Basic::load(const std::string& code) {
  Parser parser(tokens_of(code));
  program_ = parser.block({});
}

void Basic::run(int frames, const std::function<void(int)>& on_sync) {
  frames_ = frames, frame_ = 0, on_sync_ = on_sync;
  try {
    exec(program_);
  } catch (const Stop&) {
  }
}

Value Basic::get(const std::string& name) const {
  const auto it = variables_.find(name);
  if (it == variables_.end()) throw std::runtime_error("no variable " + name);
  return it->second;
}

void Basic::assign(const Node& target, Value v) {
  const bool real = is_float_name(target.name);
  const Value stored = real ? Value{true, v.as_float(), 0} : Value{false, 0, v.as_int()};
  if (target.kind == Node::Variable) {
    variables_[target.name] = stored;
    return;
  }
  auto it = arrays_.find(target.name);
  const std::int32_t i = eval(*target.kids.at(0)).as_int();
  if (it == arrays_.end() || i < 0 || std::size_t(i) >= it->second.size()) {
    throw std::runtime_error("no element " + std::to_string(i) + " of " + target.name);
  }
  it->second[std::size_t(i)] = stored;
}

Value Basic::call(const std::string& keyword, const Nodes& args, bool value) {
  std::vector<Value> given;
  for (const auto& a : args) given.push_back(eval(*a));
  const CommandRow* found = nullptr;
  int fits = -1;
  for (const auto& [number, row] : plugin_.rows()) {
    const std::string letters = row.argument_letters();
    if (lower(row.keyword) != lower(keyword) || row.value != value || letters.size() != given.size()) continue;
    int same = 0;  // the form whose letters match the arguments' types best
    for (std::size_t k = 0; k < given.size(); ++k) same += (letters[k] == 'F') == given[k].is_float;
    if (same > fits) found = &row, fits = same;
  }
  if (!found) {
    throw std::runtime_error("no form of " + keyword + " with " + std::to_string(given.size()) + " arguments" +
                             (value ? " that gives a value" : ""));
  }
  std::vector<std::uint32_t> words;
  const std::string letters = found->argument_letters();
  for (std::size_t k = 0; k < given.size(); ++k) {
    words.push_back(letters[k] == 'F' ? ::kvt::word(given[k].as_float()) : std::uint32_t(given[k].as_int()));
  }
  const void* fn = plugin_.address(found->exportName);
  const std::uint32_t result = call_raw(fn, words.data(), std::uint32_t(words.size()), CallEnv{}).result;
  if (value && found->letters[0] == 'F') return {true, as_float(result), 0};
  return {false, 0, std::int32_t(result)};
}

Value Basic::eval(const Node& n) {
  switch (n.kind) {
    case Node::Number: return n.number;
    case Node::Variable: {
      const auto it = variables_.find(n.name);
      return it != variables_.end() ? it->second : Value{is_float_name(n.name), 0, 0};
    }
    case Node::Index: {
      if (const auto it = arrays_.find(n.name); it != arrays_.end()) {
        const std::int32_t i = eval(*n.kids.at(0)).as_int();
        if (i < 0 || std::size_t(i) >= it->second.size()) throw std::runtime_error("no element of " + n.name);
        return it->second[std::size_t(i)];
      }
      if (const auto it = words_.find(lower(n.name)); it != words_.end()) return it->second();
      return call(n.name, n.kids, true);
    }
    case Node::Negate: {
      const Value v = eval(*n.kids[0]);
      return v.is_float ? Value{true, -v.f, 0} : Value{false, 0, -v.i};
    }
    case Node::Binary: {
      const Value a = eval(*n.kids[0]), b = eval(*n.kids[1]);
      const std::string& op = n.name;
      auto truth = [](bool t) { return Value{false, 0, t ? 1 : 0}; };
      if (op == "or") return truth(a.as_float() != 0 || b.as_float() != 0);
      if (op == "and") return truth(a.as_float() != 0 && b.as_float() != 0);
      const bool real = a.is_float || b.is_float;
      if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
        const float x = a.as_float(), y = b.as_float();
        const std::int32_t i = a.as_int(), j = b.as_int();
        if (op == "=") return truth(real ? x == y : i == j);
        if (op == "<>") return truth(real ? x != y : i != j);
        if (op == "<") return truth(real ? x < y : i < j);
        if (op == ">") return truth(real ? x > y : i > j);
        if (op == "<=") return truth(real ? x <= y : i <= j);
        return truth(real ? x >= y : i >= j);
      }
      if (real) {
        const float x = a.as_float(), y = b.as_float();
        if (op == "+") return {true, x + y, 0};
        if (op == "-") return {true, x - y, 0};
        if (op == "*") return {true, x * y, 0};
        if (op == "/") return {true, x / y, 0};
        throw std::runtime_error("mod of floats");
      }
      if ((op == "/" || op == "mod") && b.i == 0) throw std::runtime_error("an integer division by 0");
      if (op == "+") return {false, 0, a.i + b.i};
      if (op == "-") return {false, 0, a.i - b.i};
      if (op == "*") return {false, 0, a.i * b.i};
      if (op == "/") return {false, 0, a.i / b.i};
      return {false, 0, a.i % b.i};
    }
    default: throw std::runtime_error("a statement where a value was wanted");
  }
}

void Basic::exec(const Nodes& block) {
  for (const auto& s : block) {
    const Node& n = *s;
    switch (n.kind) {
      case Node::Assign: assign(*n.kids[0], eval(*n.kids[1])); break;
      case Node::Command: call(n.name, n.kids, false); break;
      case Node::Dim:
        arrays_[n.name].assign(std::size_t(eval(*n.kids[0]).as_int()) + 1, Value{is_float_name(n.name), 0, 0});
        break;
      case Node::For: {
        const Node counter{Node::Variable, n.name, {}, {}, {}, {}};
        const std::int32_t last = eval(*n.kids[1]).as_int();
        for (assign(counter, eval(*n.kids[0])); eval(counter).as_int() <= last;) {
          exec(n.body);
          assign(counter, Value{false, 0, eval(counter).as_int() + 1});
        }
        break;
      }
      case Node::Do:  // until the last frame's sync stops the run
        for (;;) exec(n.body);
        break;
      case Node::If:
        exec(eval(*n.kids[0]).as_float() != 0 ? n.body : n.otherwise);
        break;
      case Node::Sync:
        if (on_sync_) on_sync_(frame_);
        if (++frame_ >= frames_) throw Stop{};
        break;
      default: throw std::runtime_error("a value where a statement was wanted");
    }
  }
}

std::string guide_example(const std::string& guide_path, const std::string& title) {
  std::ifstream in(guide_path);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  const std::size_t heading = text.find("## Example: " + title);
  const std::size_t open = text.find("```basic\n", heading);
  if (heading == std::string::npos || open == std::string::npos) throw std::runtime_error("no example " + title + " in " + guide_path);
  const std::size_t start = open + 9;
  return text.substr(start, text.find("```", start) - start);
}

}  // namespace kvt
