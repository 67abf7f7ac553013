#pragma once
// The edit routines of the layout writer: one value formatted into one field,
// as Fortran's I, F, E, G and A editing write it. Each appends exactly the
// field's text to `out` (w asterisks when the value does not fit; w = 0 asks
// for the narrowest field).
#include <string>
#include <string_view>

namespace velk {

void EditI(long long v, int w, std::string& out);
void EditF(double x, int w, int d, std::string& out);
void EditE(double x, int w, int d, std::string& out);
void EditG(double x, int w, int d, std::string& out);
// w < 0: the text in its own length.
void EditA(std::string_view text, int w, std::string& out);

// The text an A descriptor writes for a number: the integer's digits, or the
// shortest text that reads back as the same real ("0.1", "1e+20", "-0").
std::string NumberText(long long v);
std::string NumberText(double x);

}  // namespace velk
