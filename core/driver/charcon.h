#pragma once
// Fixed-width number text for file names, command lines and labels: ix is
// written right-justified into y (exactly the routine's width), the leading
// positions filled with blanks when flag is 1 and with the digit 0 otherwise.
// A value that does not fit leaves only fill characters: never a cut number.
// charcon5 writes negative values -9999..-1 with a minus sign in front of the
// leading digit; five-digit negative values do not fit.
#include <string>

namespace velm {

void charcon2(int ix, std::string& y, int flag); // 0..99
void charcon3(int ix, std::string& y, int flag); // 0..999
void charcon5(int ix, std::string& y, int flag); // -9999..99999
void charcon7(int ix, std::string& y, int flag); // 0..9999999

} // namespace velm
