#include "tools/imgmake/imgexpr.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <numbers>
#include <sstream>

namespace {

constexpr int kMaxDepth = 64;  // parentheses and signs nested deeper are refused

class Parser {
 public:
  Parser(const std::string& text, const ImgFrameValues& values) : text_(text), values_(values) {}

  bool Parse(double& value) {
    value = Sum();
    if (error_.empty() && at_ != text_.size()) {
      Fail("unexpected \"" + text_.substr(at_) + "\"");
    }
    return error_.empty();
  }
  const std::string& Error() const { return error_; }

 private:
  double Fail(const std::string& message) {
    if (error_.empty()) {
      error_ = message;
    }
    return 0;
  }
  bool Next(char c) {
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  double Sum() {
    double value = Product();
    while (error_.empty()) {
      if (Next('+')) {
        value += Product();
      } else if (Next('-')) {
        value -= Product();
      } else {
        break;
      }
    }
    return value;
  }
  double Product() {
    double value = Unary();
    while (error_.empty()) {
      if (Next('*')) {
        value *= Unary();
      } else if (Next('/')) {
        value /= Unary();
      } else {
        break;
      }
    }
    return value;
  }
  double Unary() {
    if (++depth_ > kMaxDepth) {
      return Fail("nested too deeply");
    }
    double value = 0;
    if (Next('-')) {
      value = -Unary();
    } else if (Next('(')) {
      value = Sum();
      if (!Next(')')) {
        value = Fail("a \")\" is missing");
      }
    } else {
      value = Primary();
    }
    --depth_;
    return value;
  }
  double Primary() {
    const size_t start = at_;
    while (at_ < text_.size() && std::isalpha(static_cast<unsigned char>(text_[at_]))) {
      ++at_;
    }
    if (at_ > start) {
      return Name(text_.substr(start, at_ - start));
    }
    double value = 0;
    const auto [end, result] =
        std::from_chars(text_.data() + at_, text_.data() + text_.size(), value);
    if (result != std::errc{} || end == text_.data() + at_) {
      return Fail(at_ == text_.size() ? "a number is missing"
                                      : "no number at \"" + text_.substr(at_) + "\"");
    }
    at_ = static_cast<size_t>(end - text_.data());
    return value;
  }
  double Name(const std::string& name) {
    if (name == "f") {
      return values_.f;
    }
    if (name == "t") {
      return values_.t;
    }
    if (name == "n") {
      return values_.n;
    }
    if (name == "pi") {
      return std::numbers::pi;
    }
    if (name == "sin" || name == "cos") {
      if (!Next('(')) {
        return Fail(name + " needs its argument in parentheses");
      }
      const double argument = Sum();
      if (!Next(')')) {
        return Fail("a \")\" is missing");
      }
      return name == "sin" ? std::sin(argument) : std::cos(argument);
    }
    if (name == "pick") {
      return Pick();
    }
    return Fail("unknown name \"" + name + "\" (names are f, t, n, pi, sin, cos and pick)");
  }
  // pick(I,A,B,...): the value number I from 0, so that a table of values
  // can follow the frame, such as a mouth's opening for each head frame.
  double Pick() {
    if (!Next('(')) {
      return Fail("pick needs its index and values in parentheses");
    }
    const double index = Sum();
    double picked = 0;
    int count = 0;
    while (error_.empty() && Next(',')) {
      const double value = Sum();
      if (static_cast<double>(count) == index) {
        picked = value;
      }
      ++count;
    }
    if (error_.empty() && !Next(')')) {
      return Fail("a \")\" is missing");
    }
    if (error_.empty() && (index != std::floor(index) || index < 0 || index >= count)) {
      std::ostringstream text;
      text << "pick has no value number " << index << " (it has " << count << ", numbered from 0)";
      return Fail(text.str());
    }
    return picked;
  }

  const std::string& text_;
  const ImgFrameValues& values_;
  size_t at_ = 0;
  int depth_ = 0;
  std::string error_;
};

}  // namespace

bool ImgEvaluate(const std::string& text, const ImgFrameValues& values, double& value,
                 std::string& error) {
  Parser parser(text, values);
  if (!parser.Parse(value)) {
    error = "\"" + text + "\": " + parser.Error();
    return false;
  }
  if (!std::isfinite(value)) {
    error = "\"" + text + "\" is not a finite number";
    return false;
  }
  return true;
}
