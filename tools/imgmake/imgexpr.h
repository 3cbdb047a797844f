// The numbers of an imgmake recipe: a decimal number or a small expression
// over the frame being drawn.
#pragma once

#include <string>

struct ImgFrameValues {
  double f = 0;  // the frame's number from 0
  double t = 0;  // its phase: f / n
  double n = 1;  // the number of frames
};

// Evaluates the expression: numbers, f, t, n, pi, + - * / and parentheses,
// sin() and cos() of radians, pick(I,A,B,...) choosing the value number I
// from 0. False with the reason when it is malformed, a pick has no value of
// its index, or the value is not a finite number.
bool ImgEvaluate(const std::string& text, const ImgFrameValues& values, double& value,
                 std::string& error);
